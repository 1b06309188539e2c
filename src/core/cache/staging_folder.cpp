#include "core/cache/staging_folder.hpp"

#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

#include "platform/entry_errors.hpp"
#include "platform/fs.hpp"
#include "platform/random.hpp"

namespace orvo::core {

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
// Bytes at or above this would favour the first letters of the alphabet.
constexpr unsigned kUnbiasedLimit = 256 - 256 % kAlphabet.size();

}  // namespace

Result<std::string> random_letters_and_digits(std::size_t count) {
  std::string letters;
  std::array<std::byte, 16> random{};
  while (letters.size() < count) {
    if (auto filled = platform::fill_random(random); !filled) return fail(filled.error());
    for (std::byte b : random) {
      const auto value = std::to_integer<unsigned>(b);
      if (value < kUnbiasedLimit && letters.size() < count) {
        letters.push_back(kAlphabet[value % kAlphabet.size()]);
      }
    }
  }
  return letters;
}

Result<StagingFolder> StagingFolder::create(const std::filesystem::path& cache_root) {
  return create(cache_root, [] { return random_letters_and_digits(kStagingNameLetters); });
}

Result<StagingFolder> StagingFolder::create(const std::filesystem::path& cache_root,
                                            const StagingNameDraw& draw_name) {
  for (std::size_t draw = 1;; ++draw) {
    auto letters = draw_name();
    if (!letters) return fail(letters.error());
    std::filesystem::path path = cache_root / (std::string(kStagingPrefix) + *letters);
    auto made = platform::create_folder(path);
    if (made) return StagingFolder(std::move(path));
    if (!platform::is_existing_entry(made.error()) || draw == kStagingNameDraws) {
      return fail(made.error());
    }
  }
}

StagingFolder::StagingFolder(StagingFolder&& other) noexcept
    : path_(std::exchange(other.path_, {})) {}

StagingFolder& StagingFolder::operator=(StagingFolder&& other) noexcept {
  if (this != &other) {
    if (!path_.empty()) platform::remove_tree(path_);
    path_ = std::exchange(other.path_, {});
  }
  return *this;
}

StagingFolder::~StagingFolder() {
  if (!path_.empty()) platform::remove_tree(path_);
}

}  // namespace orvo::core
