#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <functional>
#include <string>
#include <vector>

#include "core/cache/installed_files.hpp"
#include "hash_file_cases.hpp"
#include "core/cache/plain_files.hpp"
#include "core/release/sha256.hpp"
#include "support/fs/special_files.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/release/release_builder.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;
using test::bytes_of;


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

TEST(HashFile, CancelledBeforeTheFirstRead) {
  test::TempDir dir;
  test::write_file(dir / "empty", "");
  CancelFlag cancel;
  cancel.set();
  EXPECT_EQ(outcome_of(hash_file(dir / "empty", cancel)), "Preparation cancelled");
}

}  // namespace

std::string not_a_file(const fs::path& path) {
  return "File is a link or is not a regular file: " + path.string();
}
std::string not_a_folder(const fs::path& path) {
  return "Folder is a link or is not a directory: " + path.string();
}

namespace {

TEST(EntryGuards, AcceptOnlyPlainFilesAndPlainFolders) {
  test::TempDir dir;
  const fs::path e = dir / "entry";
  test::write_file(dir / "target", "content");
  fs::create_directory(dir / "folder");
  std::vector<EntryCase> cases = {
      {"plain file", [](const fs::path& p) { test::write_file(p, "content"); }, "ok",
       not_a_folder(e)},
      {"folder", [](const fs::path& p) { fs::create_directory(p); }, not_a_file(e), "ok"},
  };
  std::ranges::copy(system_guard_cases(dir.path()), std::back_inserter(cases));
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
  std::vector<EntryCase> cases = {
      {"plain file", [](const fs::path& p) { test::write_file(p, "content"); }, "ok", ""},
      {"folder", [](const fs::path& p) { fs::create_directory(p); }, not_a_file(e), ""},
  };
  std::ranges::copy(system_opening_cases(dir.path()), std::back_inserter(cases));
  for (const EntryCase& c : cases) {
    SCOPED_TRACE(c.name);
    c.make(e);
    auto file = open_regular_file(e);
    EXPECT_EQ(file ? "ok" : file.error().chain_text(), c.regular_file);
    fs::remove_all(e);
  }
}

}  // namespace
}  // namespace orvo::core
