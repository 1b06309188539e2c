#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>

#include "platform/fs.hpp"
#include "support/fs/failing_calls.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/release/release_builder.hpp"

namespace orvo::platform {
namespace {

namespace fs = std::filesystem;
using test::bytes_of;
using test::read_file;
using test::TempDir;
using test::write_file;

TEST(FsTest, AttributesDescribeTheEntryItselfNotALinksTarget) {
  TempDir dir;
  write_file(dir / "file", "12345");
  fs::create_directory(dir / "folder");
  fs::create_symlink(dir / "file", dir / "file-link");
  fs::create_directory_symlink(dir / "folder", dir / "folder-link");
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);

  struct Case {
    const char* name;
    std::uint32_t attributes;
    bool regular;
  };
  const Case cases[] = {{"file", 0, true},
                        {"folder", kDirectory, false},
                        {"file-link", kReparsePoint, false},
                        {"folder-link", kReparsePoint, false},
                        {"fifo", 0, false}};
  for (const Case& c : cases) {
    auto attributes = entry_attributes(dir / c.name);
    ASSERT_TRUE(attributes.has_value()) << c.name;
    EXPECT_EQ(attributes->attributes, c.attributes) << c.name;
    EXPECT_EQ(attributes->regular, c.regular) << c.name;
  }
  EXPECT_EQ(entry_attributes(dir / "file")->size, 5u);
  auto followed = followed_attributes(dir / "folder-link");
  ASSERT_TRUE(followed.has_value());
  EXPECT_TRUE(followed->is_directory());
  EXPECT_FALSE(followed->is_reparse_point());

  // A trailing separator or "." element still names the link itself.
  for (const fs::path& written : {dir / "folder-link" / "", dir / "folder-link" / ".",
                                  dir / "folder-link" / "." / ""}) {
    SCOPED_TRACE(written);
    auto attributes = entry_attributes(written);
    ASSERT_TRUE(attributes.has_value());
    EXPECT_EQ(attributes->attributes, kReparsePoint);
    EXPECT_FALSE(list_folder(written).has_value());
  }
  EXPECT_EQ(entry_attributes(dir / "folder" / "")->attributes, kDirectory);
  EXPECT_EQ(entry_attributes(fs::path("/"))->attributes, kDirectory);

  auto missing = entry_attributes(dir / "missing");
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(missing.error().os_code(), ENOENT);
  EXPECT_EQ(missing.error().message(), "No such file or directory (os error 2)");
}

TEST(FsTest, CreateNewRefusesAnythingInTheWayAndSetsTheMode) {
  TempDir dir;
  write_file(dir / "exists", "old");
  fs::create_symlink(dir / "target", dir / "dangling");
  for (const char* name : {"exists", "dangling"}) {
    auto file = File::create_new(dir / name);
    ASSERT_FALSE(file.has_value()) << name;
    EXPECT_EQ(file.error().os_code(), EEXIST) << name;
  }
  EXPECT_FALSE(fs::exists(dir / "target"));
  EXPECT_EQ(read_file(dir / "exists"), "old");

  const mode_t old_mask = ::umask(0077);
  auto program = File::create_new(dir / "program", FileMode::Executable);
  auto data = File::create_new(dir / "data");
  ::umask(old_mask);
  ASSERT_TRUE(program.has_value());
  ASSERT_TRUE(data.has_value());
  ASSERT_TRUE(program->write_all(bytes_of("#!")).has_value());
  ASSERT_TRUE(program->sync().has_value());
  ASSERT_TRUE(program->close().has_value());
  EXPECT_EQ(fs::status(dir / "program").permissions() & fs::perms::all, fs::perms(0755));
  EXPECT_EQ(fs::status(dir / "data").permissions() & fs::perms::all, fs::perms(0644));
  EXPECT_EQ(read_file(dir / "program"), "#!");
}

TEST(FsTest, CreateNewLeavesTheFileItMadeWhenItsModeCannotBeSet) {
  TempDir dir;
  test::run_with_failing_call(test::SystemCall::ChangeMode, [&] {
    auto file = File::create_new(dir / "program", FileMode::Executable);
    ASSERT_FALSE(file.has_value());
    EXPECT_EQ(file.error().os_code(), EPERM);
  });
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "program")));
}

TEST(FsTest, OpenReadDoesNotWaitForAFifosWriter) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  // Without a writer a blocking open would hang here for ever.
  auto file = File::open_read(dir / "fifo");
  ASSERT_TRUE(file.has_value());
  EXPECT_FALSE(file->attributes()->regular);
}

TEST(FsTest, ReadsAndAppends) {
  TempDir dir;
  const fs::path path = dir / "log";
  for (std::string_view part : {"one ", "two"}) {
    auto file = File::open_append(path);
    ASSERT_TRUE(file.has_value());
    ASSERT_TRUE(file->write_all(bytes_of(part)).has_value());
  }
  auto file = File::open_read(path);
  ASSERT_TRUE(file.has_value());
  std::array<std::byte, 4> buffer{};
  std::string content;
  for (;;) {
    auto count = file->read(buffer);
    ASSERT_TRUE(count.has_value());
    if (*count == 0) break;
    content.append(reinterpret_cast<const char*>(buffer.data()), *count);
  }
  EXPECT_EQ(content, "one two");
}

TEST(FsTest, RenameNoReplaceKeepsTheTarget) {
  TempDir dir;
  fs::create_directory(dir / "content");
  write_file(dir / "content" / "a", "new");
  fs::create_directory(dir / "taken");
  write_file(dir / "file", "kept");

  EXPECT_EQ(rename_no_replace(dir / "content", dir / "taken").error().os_code(), EEXIST);
  EXPECT_EQ(rename_no_replace(dir / "content", dir / "file").error().os_code(), EEXIST);
  EXPECT_EQ(read_file(dir / "file"), "kept");
  ASSERT_TRUE(rename_no_replace(dir / "content", dir / "version").has_value());
  EXPECT_EQ(read_file(dir / "version" / "a"), "new");

  write_file(dir / "other", "replacement");
  ASSERT_TRUE(rename_replace(dir / "other", dir / "file").has_value());
  EXPECT_EQ(read_file(dir / "file"), "replacement");
}

TEST(FsTest, FoldersAreCreatedWithTheirParents) {
  TempDir dir;
  ASSERT_TRUE(create_folders(dir / "a" / "b" / "c").has_value());
  ASSERT_TRUE(create_folders(dir / "a" / "b").has_value());
  EXPECT_TRUE(fs::is_directory(dir / "a" / "b" / "c"));
  EXPECT_EQ(create_folder(dir / "a").error().os_code(), EEXIST);
  write_file(dir / "plain", "");
  EXPECT_FALSE(create_folders(dir / "plain").has_value());
  EXPECT_FALSE(create_folders(dir / "plain" / "below").has_value());
}

TEST(FsTest, ListingAndRemoval) {
  TempDir dir;
  fs::create_directory(dir / "tree");
  write_file(dir / "tree" / "x", "");
  fs::create_directory(dir / "tree" / "sub");
  write_file(dir / "outside", "stays");
  fs::create_symlink(dir / "outside", dir / "tree" / "link");

  auto entries = list_folder(dir / "tree");
  ASSERT_TRUE(entries.has_value());
  std::vector<std::string> names;
  for (const auto& entry : *entries) names.push_back(entry.name.value().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"link", "sub", "x"}));
  // A link to a folder is not listed through.
  fs::create_directory_symlink(dir / "tree", dir / "tree-link");
  EXPECT_FALSE(list_folder(dir / "tree-link").has_value());

  // However the path to a link ends, only the link goes, never what it leads to.
  for (const fs::path& written : {dir / "tree-link" / "", dir / "tree-link" / "."}) {
    SCOPED_TRACE(written);
    remove_tree(written);
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "tree-link")));
    EXPECT_TRUE(fs::exists(dir / "tree" / "x"));
    fs::create_directory_symlink(dir / "tree", dir / "tree-link");
  }

  EXPECT_EQ(remove_file(dir / "tree" / "sub").error().os_code(), EISDIR);
  remove_tree(dir / "tree");
  EXPECT_FALSE(fs::exists(dir / "tree"));
  EXPECT_EQ(read_file(dir / "outside"), "stays");
}

TEST(FsTest, CanonicalPathResolvesLinks) {
  TempDir dir;
  fs::create_directory(dir / "real");
  fs::create_directory_symlink(dir / "real", dir / "alias");
  auto canonical = canonical_path(dir / "alias" / "." / ".." / "alias");
  ASSERT_TRUE(canonical.has_value());
  EXPECT_EQ(*canonical, fs::canonical(dir / "real"));
  EXPECT_FALSE(canonical_path(dir / "missing").has_value());
}

}  // namespace
}  // namespace orvo::platform
