// orvo-release check --key HEX ENVELOPE PACKAGE: what the launcher does with a
// downloaded release, run before it is published: the envelope is verified,
// its names must be ones Windows can install side by side, the package must
// have the signed size and SHA-256, and it is extracted into a fresh
// temporary folder and checked there as an installed copy would be.
// Prints "OK"; the folder is removed either way.
#include <sodium.h>

#include <array>
#include <filesystem>
#include <string>
#include <utility>

#include "base/cancel_flag.hpp"
#include "core/cache/installed_files.hpp"
#include "core/package/package_extraction.hpp"
#include "core/release/sha256.hpp"
#include "orvo-release/command.hpp"
#include "orvo-release/file_io.hpp"
#include "orvo-release/options.hpp"
#include "orvo-release/verified_release.hpp"
#include "orvo-release/windows_names.hpp"
#include "platform/env.hpp"
#include "platform/fs.hpp"
#include "platform/path_text.hpp"

namespace orvo::release_tool {
namespace {

// A new, uniquely named folder below the temporary folder; deleted with
// everything in it when the value goes away.
class ScratchFolder {
 public:
  static core::Result<ScratchFolder> create() {
    if (sodium_init() < 0) return core::fail("the random number generator could not be started");
    std::array<unsigned char, 8> random{};
    randombytes_buf(random.data(), random.size());
    const std::filesystem::path path =
        platform::temp_folder() / ("orvo-check-" + core::lower_hex(random));
    if (auto made = platform::create_folder(path); !made) {
      return core::fail(std::move(made).error().wrap("cannot create " +
                                                     platform::path_display(path)));
    }
    return ScratchFolder(path);
  }

  ScratchFolder(ScratchFolder&& other) noexcept : path_(std::exchange(other.path_, {})) {}
  ScratchFolder& operator=(ScratchFolder&&) = delete;
  ~ScratchFolder() {
    if (!path_.empty()) platform::remove_tree(path_);
  }

  const std::filesystem::path& path() const { return path_; }

 private:
  explicit ScratchFolder(std::filesystem::path path) : path_(std::move(path)) {}
  std::filesystem::path path_;
};

core::Result<void> check_release(std::string_view key_hex, const std::filesystem::path& envelope,
                                 const std::filesystem::path& package) {
  auto manifest = read_verified_release(key_hex, envelope);
  if (!manifest) return core::fail(std::move(manifest).error());
  if (auto installable = check_windows_names(manifest->files); !installable) return installable;
  auto digest = digest_file(package);
  if (!digest) return core::fail(std::move(digest).error());
  if (digest->size != manifest->package_size) {
    return core::fail("the package's size differs from the signed release");
  }
  if (digest->sha256 != manifest->package_sha256) {
    return core::fail("the package's SHA-256 differs from the signed release");
  }
  auto folder = ScratchFolder::create();
  if (!folder) return core::fail(std::move(folder).error());
  const core::CancelFlag never_cancelled;
  if (auto extracted =
          core::extract_package(package, folder->path(), manifest->files, never_cancelled);
      !extracted) {
    return extracted;
  }
  return core::verify_installed_files(folder->path(), manifest->files, never_cancelled);
}

}  // namespace

int run_check(const Invocation& invocation) {
  const auto options = command_options(invocation, "check", {"key"}, 2);
  if (!options) return kExitUsage;
  auto checked = check_release((*options)["key"], options->operands[0], options->operands[1]);
  if (!checked) return report_failure(invocation, "check", checked.error());
  invocation.out << "OK\n";
  return kExitSuccess;
}

}  // namespace orvo::release_tool
