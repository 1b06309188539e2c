#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/cache/installed_files.hpp"
#include "core/cache/plain_files.hpp"
#include "core/release/sha256.hpp"
#include "support/fs/special_files.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/release/release_builder.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;
using test::bytes_of;

constexpr std::uint64_t kGiB = 1024 * 1024 * 1024;
const std::string kBadName = "bad\xff";

std::string outcome_of(const Result<HashedFile>& hashed) {
  if (!hashed) return hashed.error().chain_text();
  return std::to_string(hashed->size) + " " + hashed->sha256;
}

std::string outcome_of(const Result<void>& result) {
  return result ? "ok" : result.error().chain_text();
}

// Content longer than several reads, with a byte pattern that shifts between them.
std::string long_content() {
  std::string content(200'003, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 + i / 251);
  return content;
}

TEST(HashFile, HashesTheWholeContent) {
  const std::vector<std::string> contents = {"", "abc", long_content()};
  test::TempDir dir;
  for (const std::string& content : contents) {
    SCOPED_TRACE(content.size());
    test::write_file(dir / "file", content);
    EXPECT_EQ(outcome_of(hash_file(dir / "file", CancelFlag())),
              std::to_string(content.size()) + " " + sha256_hex(bytes_of(content)));
    fs::remove(dir / "file");
  }
  test::write_file(dir / "abc", "abc");
  EXPECT_EQ(hash_file(dir / "abc", CancelFlag())->sha256,
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(HashFile, HashesExactlyOneGibibyte) {
  test::TempDir dir;
  test::write_file(dir / "large", "");
  fs::resize_file(dir / "large", kGiB);  // sparse: reads as zeros
  EXPECT_EQ(
      outcome_of(hash_file(dir / "large", CancelFlag())),
      std::to_string(kGiB) + " 49bc20df15e412a64472421e13fe86ff1c5165e18b2afccf160d4dc19fe68a14");
}

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

TEST(HashFile, CancelledBeforeTheFirstRead) {
  test::TempDir dir;
  test::write_file(dir / "empty", "");
  CancelFlag cancel;
  cancel.set();
  EXPECT_EQ(outcome_of(hash_file(dir / "empty", cancel)), "Preparation cancelled");
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

struct EntryCase {
  const char* name;
  // Makes the entry at the path; nullptr leaves nothing there.
  std::function<void(const fs::path&)> make;
  std::string regular_file;  // outcome of require_regular_file ("ok" or the error)
  std::string plain_folder;  // outcome of require_plain_folder
};

std::string not_a_file(const fs::path& path) {
  return "File is a link or is not a regular file: " + path.string();
}
std::string not_a_folder(const fs::path& path) {
  return "Folder is a link or is not a directory: " + path.string();
}

TEST(EntryGuards, AcceptOnlyPlainFilesAndPlainFolders) {
  test::TempDir dir;
  const fs::path e = dir / "entry";
  test::write_file(dir / "target", "content");
  fs::create_directory(dir / "folder");
  const std::vector<EntryCase> cases = {
      {"plain file", [](const fs::path& p) { test::write_file(p, "content"); }, "ok",
       not_a_folder(e)},
      {"folder", [](const fs::path& p) { fs::create_directory(p); }, not_a_file(e), "ok"},
      {"link to a file", [&](const fs::path& p) { fs::create_symlink(dir / "target", p); },
       not_a_file(e), not_a_folder(e)},
      {"link to a folder",
       [&](const fs::path& p) { fs::create_directory_symlink(dir / "folder", p); }, not_a_file(e),
       not_a_folder(e)},
      {"dangling link", [&](const fs::path& p) { fs::create_symlink(dir / "nothing", p); },
       not_a_file(e), not_a_folder(e)},
      {"FIFO", test::make_fifo, not_a_file(e), not_a_folder(e)},
      {"socket", test::make_socket, not_a_file(e), not_a_folder(e)},
      {"nothing", nullptr, "No such file or directory (os error 2)",
       "No such file or directory (os error 2)"},
  };
  for (const EntryCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.make) c.make(e);
    auto file = require_regular_file(e);
    EXPECT_EQ(file ? "ok" : file.error().chain_text(), c.regular_file);
    if (file) {
      EXPECT_EQ(file->size, 7U);
    }
    EXPECT_EQ(outcome_of(require_plain_folder(e)), c.plain_folder);
    fs::remove_all(e);
  }
}

// What takes a checked file's place before it is opened is refused at the open.
TEST(EntryGuards, OpeningRefusesWhatTookThePlaceOfAPlainFile) {
  test::TempDir dir;
  const fs::path e = dir / "entry";
  test::write_file(dir / "target", "content");
  const std::vector<EntryCase> cases = {
      {"plain file", [](const fs::path& p) { test::write_file(p, "content"); }, "ok", ""},
      {"link to a file", [&](const fs::path& p) { fs::create_symlink(dir / "target", p); },
       "Too many levels of symbolic links (os error 40)", ""},
      {"folder", [](const fs::path& p) { fs::create_directory(p); }, not_a_file(e), ""},
      {"FIFO", test::make_fifo, not_a_file(e), ""},
  };
  for (const EntryCase& c : cases) {
    SCOPED_TRACE(c.name);
    c.make(e);
    auto file = open_regular_file(e);
    EXPECT_EQ(file ? "ok" : file.error().chain_text(), c.regular_file);
    fs::remove_all(e);
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
