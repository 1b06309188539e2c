// Hashing and entry guard cases of POSIX facts: links, FIFOs, sockets,
// permission bits, kernel files and devices, names that are not text, and the
// system's error texts.
// The links stay here: Wine makes no Windows link, and does not report a Unix
// one as a reparse point, so the Windows lane cannot make the entry these
// cases are about (the link decision has a table test of its own there).
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "core/cache/installed_files.hpp"
#include "core/cache/plain_files.hpp"
#include "hash_file_cases.hpp"
#include "support/fs/special_files.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::core {

namespace fs = std::filesystem;

std::vector<EntryCase> system_guard_cases(const fs::path& dir) {
  const fs::path e = dir / "entry";
  return {
      {"link to a file", [dir](const fs::path& p) { fs::create_symlink(dir / "target", p); },
       not_a_file(e), not_a_folder(e)},
      {"link to a folder",
       [dir](const fs::path& p) { fs::create_directory_symlink(dir / "folder", p); }, not_a_file(e),
       not_a_folder(e)},
      {"dangling link", [dir](const fs::path& p) { fs::create_symlink(dir / "nothing", p); },
       not_a_file(e), not_a_folder(e)},
      {"FIFO", test::make_fifo, not_a_file(e), not_a_folder(e)},
      {"socket", test::make_socket, not_a_file(e), not_a_folder(e)},
      {"nothing", nullptr, "No such file or directory (os error 2)",
       "No such file or directory (os error 2)"},
  };
}

std::vector<EntryCase> system_opening_cases(const fs::path& dir) {
  const fs::path e = dir / "entry";
  return {
      {"link to a file", [dir](const fs::path& p) { fs::create_symlink(dir / "target", p); },
       "Too many levels of symbolic links (os error 40)", ""},
      {"FIFO", test::make_fifo, not_a_file(e), ""},

  };
}

namespace {

const std::string kBadName = "bad\xff";

TEST(HashFile, RefusesALargerFileWithoutOpeningIt) {
  test::TempDir dir;
  test::write_file(dir / "large", "");
  fs::resize_file(dir / "large", kGiB + 1);
  // Mode 000: opening it would fail with a permission error instead.
  fs::permissions(dir / "large", fs::perms::none);
  test::run_bound_by_permissions([&] {
    ASSERT_FALSE(platform::File::open_read(dir / "large"));
    EXPECT_EQ(outcome_of(hash_file(dir / "large", CancelFlag())), "File exceeds the size limit");
  });
}

// Kernel files whose size in the metadata is not what reading them gives: to
// the hash these are files that grew or shrank after their size was taken.
TEST(HashFile, NoticesContentThatDisagreesWithTheSize) {
  struct Case {
    const char* path;
    const char* change;
  };
  for (const Case& c : {Case{"/proc/self/status", "size 0, content follows"},
                        Case{"/sys/devices/system/cpu/online", "size 4096, content shorter"}}) {
    SCOPED_TRACE(c.change);
    auto attributes = platform::entry_attributes(c.path);
    if (!attributes || !attributes->regular) {
      std::cout << "skipped: " << c.path << " is not available here\n";
      continue;
    }
    EXPECT_EQ(outcome_of(hash_file(c.path, CancelFlag())), "File changed while checking it");
  }
}

TEST(EntryGuards, RefuseADeviceAndHashNeverOpensIt) {
  EXPECT_EQ(outcome_of(require_plain_folder("/dev/null")), not_a_folder("/dev/null"));
  EXPECT_EQ(outcome_of(hash_file("/dev/zero", CancelFlag())), not_a_file("/dev/zero"));
}

TEST(EntryGuards, ShowNamesThatAreNotTextWithReplacementCharacters) {
  test::TempDir dir;
  fs::create_directory(dir / kBadName);
  test::write_file(dir / "file", "");
  const std::string shown = (dir / "bad\xEF\xBF\xBD").string();
  EXPECT_EQ(require_regular_file(dir / kBadName).error().message(),
            "File is a link or is not a regular file: " + shown);
  fs::remove(dir / kBadName);
  test::write_file(dir / kBadName, "");
  EXPECT_EQ(outcome_of(require_plain_folder(dir / kBadName)),
            "Folder is a link or is not a directory: " + shown);
}

}  // namespace
}  // namespace orvo::core
