#include "core/cache/installed_files.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/fs/mounts.hpp"
#include "support/fs/special_files.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/release/release_builder.hpp"
#include "support/suite/case_name.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;
using test::ReleaseFile;

const std::vector<ReleaseFile> kRelease = {
    {"ORVO.Host.exe", "host"},
    {"bin/a.dll", "library"},
    {"data/sub/x.bin", "data"},
    {"empty.txt", ""},
};

// A version folder holding the release, its envelope and its working marker,
// beside a correct copy of the release for links to point at.
struct Installed {
  test::TempDir dir;
  fs::path folder = dir / "version";
  fs::path copy = dir / "copy";
  std::vector<ManifestFile> files = test::manifest_of(kRelease).files;
  // Undone before the folders go.
  std::vector<test::BindMount> mounts;

  Installed() {
    test::write_release_folder(folder, kRelease);
    test::write_release_folder(copy, kRelease);
    test::write_file(folder / ".orvo-manifest.json", "{}");
    test::write_file(folder / ".orvo-working", "ok");
  }

  std::string verify(const CancelFlag& cancel = CancelFlag()) const {
    auto verified = verify_installed_files(folder, files, cancel);
    return verified ? "ok" : verified.error().chain_text();
  }
};

struct Case {
  const char* name;
  std::function<void(Installed&)> alter;
  std::string expected;  // "{folder}" stands for the version folder's path
};

void replace_with_file(const fs::path& path, std::string_view content) {
  fs::remove_all(path);
  test::write_file(path, content);
}

void replace_with_folder(const fs::path& path) {
  fs::remove_all(path);
  fs::create_directory(path);
}

// Skips the test when this process may not mount.
void bind_over(Installed& i, const fs::path& source, const fs::path& target) {
  const test::BindMount& mount = i.mounts.emplace_back(source, target);
  if (!mount.mounted()) GTEST_SKIP() << "cannot bind-mount here: " << mount.error();
}

const std::vector<Case> kCases = {
    {"exactly the signed files and the launcher files", [](Installed&) {}, "ok"},
    {"without the launcher files",
     [](Installed& i) {
       fs::remove(i.folder / ".orvo-manifest.json");
       fs::remove(i.folder / ".orvo-working");
     },
     "ok"},
    {"a missing file", [](Installed& i) { fs::remove(i.folder / "bin/a.dll"); },
     "An installed file is missing"},
    {"an extra file is reported before a missing one",
     [](Installed& i) {
       fs::remove(i.folder / "bin/a.dll");
       test::write_file(i.folder / "notes.txt", "");
     },
     "Unexpected installed file: notes.txt"},
    {"the marker in a sub-folder",
     [](Installed& i) { test::write_file(i.folder / "bin/.orvo-working", "ok"); },
     "Unexpected installed file: bin/.orvo-working"},
    {"the marker in other letter case",
     [](Installed& i) { fs::rename(i.folder / ".orvo-working", i.folder / ".ORVO-Working"); },
     "Unexpected installed file: .ORVO-Working"},
    {"the marker as a folder",
     [](Installed& i) { replace_with_folder(i.folder / ".orvo-working"); },
     "Unexpected installed folder: .orvo-working"},
    {"a name differing in letter case only",
     [](Installed& i) { fs::rename(i.folder / "bin/a.dll", i.folder / "bin/A.dll"); },
     "Unexpected installed file: bin/A.dll"},
    {"a folder differing in letter case only",
     [](Installed& i) { fs::rename(i.folder / "bin", i.folder / "Bin"); },
     "Unexpected installed folder: Bin"},
    {"an empty folder that no signed path lies in",
     [](Installed& i) { fs::create_directories(i.folder / "data/other"); },
     "Unexpected installed folder: data/other"},
    {"an empty folder that signed paths lie in",
     [](Installed& i) { fs::remove(i.folder / "data/sub/x.bin"); }, "An installed file is missing"},
    {"a file where a folder belongs", [](Installed& i) { replace_with_file(i.folder / "bin", ""); },
     "Unexpected installed file: bin"},
    {"a folder where a file belongs",
     [](Installed& i) { replace_with_folder(i.folder / "empty.txt"); },
     "Unexpected installed folder: empty.txt"},
    {"a link to a correct copy of a file",
     [](Installed& i) {
       fs::remove(i.folder / "bin/a.dll");
       fs::create_symlink(i.copy / "bin/a.dll", i.folder / "bin/a.dll");
     },
     "Installed files contain a link"},
    {"a link to a correct copy of a folder",
     [](Installed& i) {
       fs::remove_all(i.folder / "data");
       fs::create_directory_symlink(i.copy / "data", i.folder / "data");
     },
     "Installed files contain a link"},
    {"the envelope as a link",
     [](Installed& i) {
       fs::remove(i.folder / ".orvo-manifest.json");
       fs::create_symlink(i.copy / "ORVO.Host.exe", i.folder / ".orvo-manifest.json");
     },
     "Installed files contain a link"},
    // Every reparse point counts as a link on Windows, mount points included.
    {"a correct copy of a folder mounted over it",
     [](Installed& i) { bind_over(i, i.copy / "data", i.folder / "data"); },
     "Installed files contain a link"},
    {"a correct copy of a file mounted over it",
     [](Installed& i) { bind_over(i, i.copy / "bin/a.dll", i.folder / "bin/a.dll"); },
     "Installed files contain a link"},
    {"a dangling link",
     [](Installed& i) { fs::create_symlink(i.dir / "nothing", i.folder / "data/sub/gone"); },
     "Installed files contain a link"},
    {"one byte changed, same size",
     [](Installed& i) { replace_with_file(i.folder / "bin/a.dll", "librarY"); },
     "Installed file failed its integrity check: bin/a.dll"},
    {"a signed empty file that is not empty",
     [](Installed& i) { replace_with_file(i.folder / "empty.txt", "x"); },
     "Installed file has changed: empty.txt"},
    {"a FIFO at a signed path of an empty file",
     [](Installed& i) {
       fs::remove(i.folder / "empty.txt");
       test::make_fifo(i.folder / "empty.txt");
     },
     "File is a link or is not a regular file: {folder}/empty.txt"},
    {"a socket", [](Installed& i) { test::make_socket(i.folder / "sock"); },
     "Unexpected installed file: sock"},
    {"a name that is not text", [](Installed& i) { test::write_file(i.folder / "bad\xff", ""); },
     "Invalid installed path"},
    // On POSIX '\' is part of a name, never a separator.
    {"a backslash in a name standing for a signed path",
     [](Installed& i) { fs::rename(i.folder / "bin/a.dll", i.folder / "bin\\a.dll"); },
     "Unexpected installed file: bin\\a.dll"},
    {"the folder is a link to a correct copy",
     [](Installed& i) {
       fs::remove_all(i.folder);
       fs::create_directory_symlink(i.copy, i.folder);
     },
     "Folder is a link or is not a directory: {folder}"},
    {"the folder is missing", [](Installed& i) { fs::remove_all(i.folder); },
     "No such file or directory (os error 2)"},
};

// Every entry below dir, not following links, with its kind and a file's content.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    const fs::file_status status = entry.symlink_status();
    std::string description = std::to_string(static_cast<int>(status.type()));
    if (fs::is_regular_file(status)) description += " " + test::read_file(entry.path());
    entries[entry.path().string()] = description;
  }
  return entries;
}

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class VerifyInstalledFiles : public testing::TestWithParam<Case> {};

TEST_P(VerifyInstalledFiles, Verdict) {
  Installed installed;
  GetParam().alter(installed);
  if (IsSkipped()) return;
  std::string expected = GetParam().expected;
  if (auto at = expected.find("{folder}"); at != std::string::npos) {
    expected.replace(at, 8, installed.folder.string());
  }
  const auto before = snapshot(installed.dir.path());
  EXPECT_EQ(installed.verify(), expected);
  EXPECT_EQ(snapshot(installed.dir.path()), before) << "the check changed the disk";
}

INSTANTIATE_TEST_SUITE_P(Cases, VerifyInstalledFiles, testing::ValuesIn(kCases),
                         test::NameOfCase());

TEST(VerifyInstalledFilesAlone, ASizeDifferenceIsFoundWithoutReadingTheFile) {
  Installed installed;
  replace_with_file(installed.folder / "bin/a.dll", "other size");
  fs::permissions(installed.folder / "bin/a.dll", fs::perms::none);
  test::run_bound_by_permissions([&] {
    ASSERT_FALSE(platform::File::open_read(installed.folder / "bin/a.dll"));
    EXPECT_EQ(installed.verify(), "Installed file has changed: bin/a.dll");
  });
}

TEST(VerifyInstalledFilesAlone, AFolderSwappedForALinkDuringTheCheckIsNeverReadThrough) {
  Installed installed;
  // The folder's own file is damaged and its outside copy intact, so "ok" can
  // only come from files read through the link.
  replace_with_file(installed.folder / "data/sub/x.bin", "dat4");
  const fs::path link = installed.dir / "link";
  fs::create_directory_symlink(installed.copy / "data", link);
  ASSERT_TRUE(test::exchange_entries(installed.folder / "data", link));
  ASSERT_TRUE(test::exchange_entries(installed.folder / "data", link));

  std::atomic<bool> done = false;
  std::thread swapper([&] {
    while (!done) test::exchange_entries(installed.folder / "data", link);
  });
  std::map<std::string, int> verdicts;
  for (int run = 0; run < 5000; ++run) ++verdicts[installed.verify()];
  done = true;
  swapper.join();
  EXPECT_EQ(verdicts.count("ok"), 0u) << "the check read the outside copy " << verdicts["ok"]
                                      << " times";
  EXPECT_GT(verdicts["Installed file failed its integrity check: data/sub/x.bin"], 0);
}

TEST(VerifyInstalledFilesAlone, CancelledBeforeAnyListing) {
  Installed installed;
  // Unlistable: a walk that began would fail with a permission error.
  fs::permissions(installed.folder, fs::perms::none);
  CancelFlag cancel;
  cancel.set();
  test::run_bound_by_permissions(
      [&] { EXPECT_EQ(installed.verify(cancel), "Preparation cancelled"); });
}

TEST(VerifyInstalledFilesAlone, EmptyFolderAndEmptyList) {
  test::TempDir dir;
  EXPECT_TRUE(verify_installed_files(dir.path(), {}, CancelFlag()));
}

TEST(VerifyInstalledFilesAlone, AFolderLinkIsRefusedHoweverItIsWritten) {
  Installed installed;
  fs::remove_all(installed.folder);
  fs::create_directory_symlink(installed.copy, installed.folder);
  // A trailing separator or "." would make the system look through the link.
  for (const fs::path& folder :
       {installed.folder, installed.folder / "", installed.folder / ".", installed.folder / "./"}) {
    SCOPED_TRACE(folder);
    auto verified = verify_installed_files(folder, installed.files, CancelFlag());
    ASSERT_FALSE(verified);
    EXPECT_EQ(verified.error().message(),
              "Folder is a link or is not a directory: " + folder.string());
  }
}

TEST(VerifyInstalledFilesAlone, RelativePathsDoNotDependOnHowTheFolderIsWritten) {
  Installed installed;
  test::write_file(installed.folder / "bin/extra", "");
  for (const fs::path& folder : {installed.folder / "", installed.folder / "." / "."}) {
    SCOPED_TRACE(folder);
    auto verified = verify_installed_files(folder, installed.files, CancelFlag());
    ASSERT_FALSE(verified);
    EXPECT_EQ(verified.error().message(), "Unexpected installed file: bin/extra");
  }
}

}  // namespace
}  // namespace orvo::core
