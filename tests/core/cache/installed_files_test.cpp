#include "core/cache/installed_files.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "installed_fixture.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/suite/case_name.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;

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
     // Written afresh, not renamed: Wine keeps a name's letter case through a rename.
     [](Installed& i) {
       fs::remove(i.folder / ".orvo-working");
       test::write_file(i.folder / ".ORVO-Working", "ok");
     },
     "Unexpected installed file: .ORVO-Working"},
    {"the marker as a folder",
     [](Installed& i) { replace_with_folder(i.folder / ".orvo-working"); },
     "Unexpected installed folder: .orvo-working"},
    {"a name differing in letter case only",
     [](Installed& i) {
       fs::remove(i.folder / "bin/a.dll");
       test::write_file(i.folder / "bin/A.dll", "library");
     },
     "Unexpected installed file: bin/A.dll"},
    {"a folder differing in letter case only",
     [](Installed& i) {
       fs::remove_all(i.folder / "bin");
       fs::create_directory(i.folder / "Bin");
       test::write_file(i.folder / "Bin/a.dll", "library");
     },
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
    {"one byte changed, same size",
     [](Installed& i) { replace_with_file(i.folder / "bin/a.dll", "librarY"); },
     "Installed file failed its integrity check: bin/a.dll"},
    {"a signed empty file that is not empty",
     [](Installed& i) { replace_with_file(i.folder / "empty.txt", "x"); },
     "Installed file has changed: empty.txt"},
};

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

TEST(VerifyInstalledFilesAlone, EmptyFolderAndEmptyList) {
  test::TempDir dir;
  EXPECT_TRUE(verify_installed_files(dir.path(), {}, CancelFlag()));
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
