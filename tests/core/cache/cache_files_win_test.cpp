// The cache files' cases of Windows: a device name, the read-only attribute,
// a file that another program holds open without sharing, and the system's own
// error texts.
// A folder that cannot be searched has no twin the lane can show: Wine turns a
// deny entry of a folder's access list into Unix permission bits, which the
// lane's user (root) passes, and a folder held open without sharing still lets
// folders be made inside it, on Windows as under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cache_files_cases.hpp"
#include "core/cache/plain_files.hpp"
#include "core/cache/versions_cache.hpp"
#include "platform/os_error.hpp"
#include "support/fs/held_open_win.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::core {

namespace fs = std::filesystem;

namespace {

// The codes of the Windows errors that the cases expect.
constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kAccessDenied = 5;
constexpr int kBadDeviceType = 66;
constexpr int kFileExists = 80;
constexpr int kAlreadyExists = 183;
constexpr int kSharingViolation = 32;

std::string text_of(int code) { return platform::os_error(code).message(); }

void make_read_only(const fs::path& path) {
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

}  // namespace

std::vector<EnsureCase> system_ensure_cases() {
  return {
      {"a file named versions",
       [](const fs::path& d) {
         fs::create_directory(d / "root");
         test::write_file(d / "root/versions", "");
         return d / "root";
       },
       "Cannot create the ORVO application folder: " + text_of(kAlreadyExists)},
  };
}

std::vector<ReadCase> system_read_cases(const std::string&) {
  return {
      {"missing", [](const fs::path& d) { return d / "entry"; }, kMarkerReadLimit,
       text_of(kFileNotFound)},
      // A device reads as empty, or never ends: it is refused before it is opened.
      {"device", [](const fs::path&) { return fs::path("\\\\.\\NUL"); }, kMarkerReadLimit,
       text_of(kBadDeviceType)},
  };
}

std::vector<WriteCase> system_write_new_cases() {
  return {
      {"a file", [](const fs::path& t) { test::write_file(t, "old"); }, text_of(kFileExists),
       "old"},
      {"a read-only file",
       [](const fs::path& t) {
         test::write_file(t, "old");
         make_read_only(t);
       },
       text_of(kFileExists), "old"},
      {"a folder", [](const fs::path& t) { fs::create_directory(t); }, text_of(kFileExists),
       nullptr},
  };
}

std::vector<WriteCase> system_replace_cases() {
  return {
      {"a read-only file",
       [](const fs::path& t) {
         test::write_file(t, "old content");
         make_read_only(t);
       },
       "ok", "ok"},
      {"a folder that is not empty",
       [](const fs::path& t) {
         fs::create_directory(t);
         test::write_file(t / "inside", "");
       },
       text_of(kAccessDenied), nullptr},
  };
}

std::string missing_folder_text() { return text_of(kPathNotFound); }

namespace {

// Where POSIX takes a file's read permission away, another program holds it.
TEST(ReadFileLimitedWin, AFileHeldWithoutSharingGivesTheSystemsRefusal) {
  test::TempDir dir;
  test::write_file(dir / "entry", "ok");
  const test::HeldOpen held(dir / "entry", test::Sharing::None);
  const auto read = read_file_limited(dir / "entry", kMarkerReadLimit);
  ASSERT_FALSE(read);
  EXPECT_EQ(read.error().chain_text(), text_of(kSharingViolation));
}

}  // namespace

}  // namespace orvo::core
