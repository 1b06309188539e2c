#include "platform/folder_handle.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "support/fs/mounts.hpp"
#include "support/fs/special_files.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::platform {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::write_file;

std::vector<std::string> names_in(const FolderHandle& folder) {
  auto entries = folder.list();
  EXPECT_TRUE(entries.has_value());
  std::vector<std::string> names;
  if (!entries) return names;
  for (const auto& entry : *entries) names.push_back(entry.name.value().string());
  std::ranges::sort(names);
  return names;
}

std::string content_of(File& file) {
  std::array<std::byte, 64> buffer{};
  std::string content;
  for (;;) {
    auto count = file.read(buffer);
    if (!count || *count == 0) return content;
    content.append(reinterpret_cast<const char*>(buffer.data()), *count);
  }
}

// A folder "tree" with a file, a sub-folder and links, and a copy "other" beside it.
struct Tree {
  TempDir dir;
  fs::path tree = dir / "tree";

  Tree() {
    for (const fs::path& root : {tree, dir / "other"}) {
      fs::create_directories(root / "sub");
      write_file(root / "file", root == tree ? "inside" : "outside");
      write_file(root / "sub" / "x", root == tree ? "inside x" : "outside x");
    }
    fs::create_symlink(dir / "other" / "file", tree / "file-link");
    fs::create_directory_symlink(dir / "other" / "sub", tree / "sub-link");
    test::make_fifo(tree / "fifo");
  }
};

TEST(FolderHandleTest, EntriesAreSeenAndOpenedWithoutFollowingLinks) {
  Tree t;
  auto folder = FolderHandle::open(t.tree);
  ASSERT_TRUE(folder.has_value()) << folder.error().chain_text();
  EXPECT_EQ(folder->path(), t.tree);
  EXPECT_EQ(names_in(*folder),
            (std::vector<std::string>{"fifo", "file", "file-link", "sub", "sub-link"}));

  struct Case {
    const char* name;
    std::uint32_t attributes;
    bool regular;
  };
  for (const Case& c : {Case{"file", 0, true}, Case{"sub", kDirectory, false},
                        Case{"file-link", kReparsePoint, false},
                        Case{"sub-link", kReparsePoint, false}, Case{"fifo", 0, false}}) {
    SCOPED_TRACE(c.name);
    auto attributes = folder->entry_attributes(c.name);
    ASSERT_TRUE(attributes.has_value());
    EXPECT_EQ(attributes->attributes, c.attributes);
    EXPECT_EQ(attributes->regular, c.regular);
  }
  EXPECT_EQ(folder->entry_attributes("file")->size, 6u);
  EXPECT_EQ(folder->entry_attributes("missing").error().os_code(), ENOENT);

  auto file = folder->open_file("file");
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(content_of(*file), "inside");
  // Without a writer a blocking open would hang here for ever.
  auto fifo = folder->open_file("fifo");
  ASSERT_TRUE(fifo.has_value());
  EXPECT_FALSE(fifo->attributes()->regular);
  auto sub = folder->open_folder("sub");
  ASSERT_TRUE(sub.has_value());
  EXPECT_EQ(sub->path(), t.tree / "sub");
  EXPECT_EQ(names_in(*sub), (std::vector<std::string>{"x"}));

  EXPECT_EQ(folder->open_file("file-link").error().os_code(), ELOOP);
  // To a folder opening, a link is no folder.
  EXPECT_EQ(folder->open_folder("sub-link").error().os_code(), ENOTDIR);
  EXPECT_EQ(folder->open_folder("file").error().os_code(), ENOTDIR);
}

TEST(FolderHandleTest, AFolderLinkIsRefusedHoweverItIsWritten) {
  Tree t;
  fs::create_directory_symlink(t.tree, t.dir / "tree-link");
  for (const fs::path& written : {t.dir / "tree-link", t.dir / "tree-link" / "",
                                  t.dir / "tree-link" / ".", t.dir / "tree-link" / "./"}) {
    SCOPED_TRACE(written);
    EXPECT_EQ(FolderHandle::open(written).error().os_code(), ENOTDIR);
  }
  EXPECT_EQ(FolderHandle::open(t.tree / "file").error().os_code(), ENOTDIR);
  EXPECT_TRUE(FolderHandle::open(t.tree / "").has_value());
  EXPECT_TRUE(FolderHandle::open(fs::path("/")).has_value());
}

TEST(FolderHandleTest, AHeldFolderStaysTheOneOpenedWhenItsPathIsSwapped) {
  Tree t;
  auto folder = FolderHandle::open(t.tree);
  ASSERT_TRUE(folder.has_value());
  auto sub = folder->open_folder("sub");
  ASSERT_TRUE(sub.has_value());
  // Both folders' paths now lead to the copy.
  fs::rename(t.tree, t.dir / "moved");
  fs::create_directory_symlink(t.dir / "other", t.tree);

  auto x = sub->open_file("x");
  ASSERT_TRUE(x.has_value());
  EXPECT_EQ(content_of(*x), "inside x");
  auto file = folder->open_file("file");
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(content_of(*file), "inside");
  EXPECT_EQ(names_in(*folder),
            (std::vector<std::string>{"fifo", "file", "file-link", "sub", "sub-link"}));
}

TEST(FolderHandleTest, WhatIsMountedCountsAsALink) {
  Tree t;
  test::BindMount folder_mount(t.dir / "other" / "sub", t.tree / "sub");
  if (!folder_mount.mounted()) GTEST_SKIP() << "cannot bind-mount here: " << folder_mount.error();
  test::BindMount file_mount(t.dir / "other" / "file", t.tree / "file");
  ASSERT_TRUE(file_mount.mounted()) << file_mount.error();

  auto folder = FolderHandle::open(t.tree);
  ASSERT_TRUE(folder.has_value());
  for (const char* name : {"sub", "file"}) {
    SCOPED_TRACE(name);
    auto attributes = folder->entry_attributes(name);
    ASSERT_TRUE(attributes.has_value());
    EXPECT_TRUE(attributes->is_reparse_point());
  }
  EXPECT_EQ(folder->open_folder("sub").error().os_code(), EXDEV);
  EXPECT_EQ(folder->open_file("file").error().os_code(), EXDEV);
  // A folder that is itself mounted is refused as well.
  EXPECT_EQ(FolderHandle::open(t.tree / "sub").error().os_code(), EXDEV);
  // Inside the mounted folder everything is on one mount again.
  auto sub = FolderHandle::open(t.dir / "other" / "sub");
  ASSERT_TRUE(sub.has_value());
  EXPECT_FALSE(sub->entry_attributes("x")->is_reparse_point());
}

}  // namespace
}  // namespace orvo::platform
