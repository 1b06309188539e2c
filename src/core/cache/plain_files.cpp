#include "core/cache/plain_files.hpp"

#include <algorithm>
#include <cctype>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "core/cache/staging_folder.hpp"
#include "platform/clock.hpp"
#include "platform/path_text.hpp"

namespace orvo::core {
namespace {

constexpr std::size_t kReadPiece = 65536;
constexpr std::size_t kTemporaryNameLetters = 6;
constexpr std::string_view kTemporarySuffix = ".tmp";

// A writer in another session may own a temporary for the moment between its
// creation and its rename; one that nothing has written for this long was
// left by a crash.
constexpr std::uint64_t kLeftoverAge = 10ull * 60 * 10'000'000;  // 10 minutes in 100-ns steps

// "<file name>.<letters and digits>.tmp", as replace_file_synced names them.
bool is_temporary_name_of(const std::filesystem::path& entry, std::string_view file_name) {
  const std::optional<std::string> utf8 = platform::path_utf8(entry);
  if (!utf8) return false;
  const std::string& name = *utf8;
  const std::size_t letters = file_name.size() + 1;
  if (name.size() != letters + kTemporaryNameLetters + kTemporarySuffix.size()) return false;
  if (!name.starts_with(file_name) || name[file_name.size()] != '.' ||
      !name.ends_with(kTemporarySuffix)) {
    return false;
  }
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(letters),
                     name.end() - static_cast<std::ptrdiff_t>(kTemporarySuffix.size()),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

bool is_plain_file(const platform::EntryAttributes& attributes) {
  return !attributes.is_directory() && !attributes.is_reparse_point() && attributes.regular;
}

std::unexpected<Error> not_plain_file(const std::filesystem::path& path) {
  return fail("File is a link or is not a regular file: " + platform::path_display(path));
}

// The opened file must still be plain: something else may have taken the place
// of what was tested before.
Result<platform::File> still_regular(Result<platform::File> file,
                                     const std::filesystem::path& path) {
  if (!file) return fail(std::move(file).error());
  auto attributes = file->attributes();
  if (!attributes) return fail(std::move(attributes).error());
  if (!is_plain_file(*attributes)) return not_plain_file(path);
  return std::move(*file);
}

}  // namespace

Result<void> require_regular_attributes(const platform::EntryAttributes& attributes,
                                        const std::filesystem::path& path) {
  if (!is_plain_file(attributes)) return not_plain_file(path);
  return {};
}

Result<platform::EntryAttributes> require_regular_file(const std::filesystem::path& path) {
  auto attributes = platform::entry_attributes(path);
  if (!attributes) return fail(std::move(attributes).error());
  if (auto plain = require_regular_attributes(*attributes, path); !plain) {
    return fail(std::move(plain).error());
  }
  return *attributes;
}

Result<platform::File> open_regular_file(const std::filesystem::path& path) {
  return still_regular(platform::File::open_read_entry(path), path);
}

Result<platform::File> open_regular_file_in(const platform::FolderHandle& folder,
                                            const std::filesystem::path& name) {
  return still_regular(folder.open_file(name), folder.path() / name);
}

Result<void> require_plain_folder(const std::filesystem::path& folder) {
  auto attributes = platform::entry_attributes(folder);
  if (!attributes) return fail(std::move(attributes).error());
  if (attributes->is_directory() && !attributes->is_reparse_point()) return {};
  return fail("Folder is a link or is not a directory: " + platform::path_display(folder));
}

Result<std::vector<std::byte>> read_file_limited(const std::filesystem::path& path, std::uint64_t limit) {
  auto attributes = require_regular_file(path);
  if (!attributes) return fail(std::move(attributes).error());
  if (attributes->size > limit) return fail("Cached metadata is too large");
  auto file = open_regular_file(path);
  if (!file) return fail(std::move(file).error());

  std::vector<std::byte> bytes;
  const auto buffer = std::make_unique_for_overwrite<std::byte[]>(kReadPiece);
  std::uint64_t total = 0;
  for (;;) {
    auto count = file->read(std::span(buffer.get(), kReadPiece));
    if (!count) return fail(std::move(count).error());
    if (*count == 0) return bytes;
    if (*count > std::numeric_limits<std::uint64_t>::max() - total) {
      return fail("Read size overflow");
    }
    total += *count;
    // The file grew after its size was taken: the result never holds more than the limit.
    if (total > limit) return fail("Input exceeds the allowed size");
    bytes.insert(bytes.end(), buffer.get(), buffer.get() + *count);
  }
}

Result<void> write_file_synced(const std::filesystem::path& path, std::span<const std::byte> bytes) {
  auto file = platform::File::create_new(path);
  if (!file) return fail(std::move(file).error());
  if (auto written = file->write_all(bytes); !written) return written;
  if (auto synced = file->sync(); !synced) return synced;
  return file->close();
}

Result<void> replace_file_synced(const std::filesystem::path& path,
                                 std::span<const std::byte> bytes,
                                 const std::filesystem::path& temporary_folder) {
  auto letters = random_letters_and_digits(kTemporaryNameLetters);
  if (!letters) return fail(std::move(letters).error());
  std::filesystem::path temporary = temporary_folder / path.filename();
  temporary += "." + *letters + std::string(kTemporarySuffix);
  auto done = write_file_synced(temporary, bytes);
  if (done) done = platform::rename_replace(temporary, path);
  // The half-made file is ours alone: nothing of it is left behind.
  if (!done) (void)platform::remove_file(temporary);
  return done;
}

void remove_leftover_temporary(const std::filesystem::path& temporary_folder,
                               const std::filesystem::path& entry, std::string_view file_name) {
  if (!is_temporary_name_of(entry, file_name)) return;
  const std::filesystem::path path = temporary_folder / entry;
  auto attributes = platform::entry_attributes(path);
  if (!attributes || !is_plain_file(*attributes)) return;
  auto written = platform::entry_write_time(path);
  const std::uint64_t now = platform::system_time_since_1601();
  // A time after now (a clock set back) says nothing about its age.
  if (!written || *written > now || now - *written < kLeftoverAge) return;
  // Deleting removes the entry itself: should a link have taken the file's
  // place meanwhile, the link goes, never its target.
  (void)platform::remove_file(path);
}

}  // namespace orvo::core
