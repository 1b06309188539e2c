// The Win32 file layer on a real file system: reparse points seen and never
// followed, create-new and no-replace renames, listings, canonical paths,
// paths longer than MAX_PATH, and the system's error texts.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <set>
#include <string>

#include "platform/env.hpp"
#include "platform/fs.hpp"
#include "platform/entry_errors.hpp"
#include "platform/os_error.hpp"
#include "platform/win32.hpp"
#include "support/fs/scoped_working_folder.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/release/release_builder.hpp"

namespace orvo::platform {
namespace {

namespace fs = std::filesystem;

using test::bytes_of;

bool running_under_wine() {
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

TEST(FsWinTest, AttributesTellFilesFoldersAndLinksApart) {
  test::TempDir dir;
  test::write_file(dir / "file", "12345");
  ASSERT_TRUE(create_folder(dir / "folder"));

  const auto file = entry_attributes(dir / "file");
  ASSERT_TRUE(file) << file.error().chain_text();
  EXPECT_TRUE(file->regular);
  EXPECT_EQ(file->size, 5U);
  const auto folder = entry_attributes(dir / "folder\\");
  ASSERT_TRUE(folder) << folder.error().chain_text();
  EXPECT_TRUE(folder->is_directory());
  EXPECT_FALSE(folder->regular);

  if (!::CreateSymbolicLinkW((dir / "link").c_str(), (dir / "folder").c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY |
                                 SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
    GTEST_SKIP() << "this system makes no symbolic links for this user";
  }
  // Wine 8 keeps such a link as a Unix symbolic link to an encoded target that
  // its own attribute calls follow, and then do not find.
  if (::GetFileAttributesW((dir / "link").c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "this system cannot see the symbolic links it makes";
  }
  for (const char* name : {"link", "link\\", "link\\."}) {
    SCOPED_TRACE(name);
    const auto link = entry_attributes(dir / name);
    ASSERT_TRUE(link) << link.error().chain_text();
    EXPECT_TRUE(link->is_reparse_point());
    EXPECT_FALSE(link->regular);
  }
  EXPECT_FALSE(list_folder(dir / "link"));
  const auto followed = followed_attributes(dir / "link");
  ASSERT_TRUE(followed) << followed.error().chain_text();
  EXPECT_TRUE(followed->is_directory());
  remove_tree(dir / "link");
  EXPECT_TRUE(entry_attributes(dir / "folder"));
  EXPECT_FALSE(entry_attributes(dir / "link"));
}

TEST(FsWinTest, CreateNewAndRenameNeverReplace) {
  test::TempDir dir;
  auto made = File::create_new(dir / "a");
  ASSERT_TRUE(made) << made.error().chain_text();
  ASSERT_TRUE(made->write_all(bytes_of("first")));
  ASSERT_TRUE(made->sync());
  // Others may read while it is being written.
  EXPECT_EQ(test::read_file(dir / "a"), "first");
  ASSERT_TRUE(made->close());

  const auto again = File::create_new(dir / "a");
  ASSERT_FALSE(again);
  EXPECT_EQ(again.error().os_code(), ERROR_FILE_EXISTS);

  test::write_file(dir / "b", "second");
  const auto refused = rename_no_replace(dir / "b", dir / "a");
  ASSERT_FALSE(refused);
  EXPECT_EQ(test::read_file(dir / "a"), "first");
  ASSERT_TRUE(rename_replace(dir / "b", dir / "a"));
  EXPECT_EQ(test::read_file(dir / "a"), "second");
  ASSERT_TRUE(create_folder(dir / "sub"));
  ASSERT_TRUE(rename_no_replace(dir / "sub", dir / "moved"));
  EXPECT_TRUE(entry_attributes(dir / "moved")->is_directory());
}

TEST(FsWinTest, AppendsAndReadsBack) {
  test::TempDir dir;
  for (std::string_view part : {"one ", "two"}) {
    auto file = File::open_append(dir / "log");
    ASSERT_TRUE(file) << file.error().chain_text();
    ASSERT_TRUE(file->write_all(bytes_of(part)));
  }
  auto file = File::open_read_entry(dir / "log");
  ASSERT_TRUE(file) << file.error().chain_text();
  std::array<std::byte, 32> buffer{};
  const auto count = file->read(buffer);
  ASSERT_TRUE(count);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data()), *count), "one two");
  EXPECT_EQ(*file->read(buffer), 0U);
}

TEST(FsWinTest, ListsRemovesAndReportsMissingEntries) {
  test::TempDir dir;
  ASSERT_TRUE(create_folders(dir / "tree" / "a" / "b"));
  test::write_file(dir / "tree" / "a" / "b" / "locked", "x");
  ::SetFileAttributesW((dir / "tree" / "a" / "b" / "locked").c_str(), FILE_ATTRIBUTE_READONLY);
  test::write_file(dir / "tree" / "file", "y");

  const auto listed = list_folder(dir / "tree");
  ASSERT_TRUE(listed) << listed.error().chain_text();
  std::set<std::wstring> names;
  for (const auto& entry : *listed) {
    ASSERT_TRUE(entry.name);
    names.insert(entry.name->native());
  }
  EXPECT_EQ(names, (std::set<std::wstring>{L"a", L"file"}));
  EXPECT_FALSE(list_folder(dir / "tree" / "file"));
  EXPECT_FALSE(remove_file(dir / "tree" / "a"));
  ASSERT_TRUE(remove_file(dir / "tree" / "a" / "b" / "locked"));

  remove_tree(dir / "tree");
  const auto gone = entry_attributes(dir / "tree");
  ASSERT_FALSE(gone);
  EXPECT_TRUE(is_missing_entry(gone.error()));
  const auto below = entry_attributes(dir / "tree" / "deeper" / "x");
  ASSERT_FALSE(below);
  EXPECT_TRUE(is_missing_entry(below.error()));
}

// Win32 drops a trailing dot or space and reads device names as devices; a
// name the listing found must reach the entry it names, not its look-alike.
TEST(FsWinTest, NamesWin32WouldRewriteReachTheEntriesListed) {
  test::TempDir dir;
  ASSERT_TRUE(create_folder(dir / "v1"));
  const std::set<std::wstring> names = {L"v1.", L"v1 ", L"NUL", L"con.txt", L"COM1", L"CONIN$",
                                        L"AUX.", L"bin. ."};
  for (const std::wstring& name : names) {
    auto file = File::create_new(dir.path() / name);
    ASSERT_TRUE(file) << file.error().chain_text();
    ASSERT_TRUE(file->write_all(bytes_of(fs::path(name).string())));
    ASSERT_TRUE(file->close());
  }
  const auto listed = list_folder(dir.path());
  ASSERT_TRUE(listed) << listed.error().chain_text();
  std::set<std::wstring> found;
  for (const auto& entry : *listed) {
    ASSERT_TRUE(entry.name);
    found.insert(entry.name->native());
  }
  std::set<std::wstring> expected = names;
  expected.insert(L"v1");
  EXPECT_EQ(found, expected);
  for (const std::wstring& name : names) {
    SCOPED_TRACE(fs::path(name).string());
    const auto attributes = entry_attributes(dir.path() / name);
    ASSERT_TRUE(attributes) << attributes.error().chain_text();
    EXPECT_TRUE(attributes->regular);
    EXPECT_EQ(attributes->size, name.size());
    auto file = File::open_read_entry(dir.path() / name);
    ASSERT_TRUE(file) << file.error().chain_text();
    std::array<std::byte, 16> buffer{};
    const auto count = file->read(buffer);
    ASSERT_TRUE(count) << count.error().chain_text();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data()), *count),
              fs::path(name).string());
    ASSERT_TRUE(file->close());
    EXPECT_TRUE(remove_file(dir.path() / name));
  }
  EXPECT_TRUE(entry_attributes(dir / "v1")->is_directory());
}

// Only the part of a path that names no entry is the system's to resolve.
TEST(FsWinTest, RelativeAndRootedPathsResolveAgainstTheWorkingFolder) {
  test::TempDir dir;
  ASSERT_TRUE(create_folder(dir / "sub"));
  test::write_file(dir / "file", "12345");
  test::ScopedWorkingFolder working(dir / "sub");
  const std::wstring rooted = dir.path().native().substr(2);  // without "C:"
  for (const fs::path& path : {fs::path(L"..\\file"), fs::path(L".\\..\\sub\\..\\file"),
                               fs::path(L"../file"), fs::path(rooted + L"\\\\sub\\..\\file"),
                               fs::path(dir.path().native().substr(0, 2) + L"..\\file")}) {
    SCOPED_TRACE(path.string());
    const auto attributes = entry_attributes(path);
    ASSERT_TRUE(attributes) << attributes.error().chain_text();
    EXPECT_EQ(attributes->size, 5U);
  }
}

TEST(FsWinTest, PathsLongerThanMaxPathWork) {
  test::TempDir dir;
  fs::path deep = dir.path();
  while (deep.native().size() <= MAX_PATH + 40) deep /= std::string(50, 'd');
  ASSERT_TRUE(create_folders(deep));
  auto file = File::create_new(deep / "file.txt");
  ASSERT_TRUE(file) << file.error().chain_text();
  ASSERT_TRUE(file->write_all(bytes_of("deep")));
  ASSERT_TRUE(file->close());
  const auto attributes = entry_attributes(deep / "file.txt");
  ASSERT_TRUE(attributes) << attributes.error().chain_text();
  EXPECT_EQ(attributes->size, 4U);
  const auto canonical = canonical_path(deep / ".." / fs::path(deep).filename() / "file.txt");
  // Wine 8's GetFinalPathNameByHandleW gives no path longer than MAX_PATH.
  if (canonical || !running_under_wine()) {
    ASSERT_TRUE(canonical) << canonical.error().chain_text();
    EXPECT_TRUE(canonical->native().ends_with(L"\\file.txt"));
  }
  remove_tree(dir / std::string(50, 'd'));
  EXPECT_FALSE(entry_attributes(dir / std::string(50, 'd')));
}

TEST(FsWinTest, CanonicalPathIsAbsoluteAndResolved) {
  test::TempDir dir;
  ASSERT_TRUE(create_folder(dir / "x"));
  const auto direct = canonical_path(dir / "x");
  const auto roundabout = canonical_path(dir / "x" / ".." / "x" / ".");
  ASSERT_TRUE(direct && roundabout);
  EXPECT_EQ(*direct, *roundabout);
  EXPECT_TRUE(direct->is_absolute());
  EXPECT_FALSE(canonical_path(dir / "missing"));
}

TEST(FsWinTest, SystemErrorsReadAsTheirTextAndCode) {
  const core::Error error = os_error(ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(error.message().ends_with(" (os error 2)")) << error.message();
  EXPECT_GT(error.message().size(), std::string(" (os error 2)").size());
  EXPECT_EQ(error.message().find('\n'), std::string::npos);
}

TEST(FsWinTest, TheTemporaryFolderExists) {
  const fs::path temp = temp_folder();
  ASSERT_FALSE(temp.empty());
  const auto attributes = entry_attributes(temp);
  ASSERT_TRUE(attributes) << attributes.error().chain_text();
  EXPECT_TRUE(attributes->is_directory());
}

}  // namespace
}  // namespace orvo::platform
