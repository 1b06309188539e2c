// Installed-copy cases of Windows: the read-only attribute, files and folders
// that another program holds open without sharing, and the system's own error
// texts. Wine makes no name with an unpaired surrogate (it refuses to create
// one), so the lane cannot show the check's refusal of a name that is not text.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "installed_fixture.hpp"
#include "platform/fs.hpp"
#include "platform/os_error.hpp"
#include "support/fs/held_open_win.hpp"
#include "support/suite/case_name.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;

constexpr int kFileNotFound = 2;
constexpr int kSharingViolation = 32;

const std::vector<Case> kWindowsCases = {
    // The attribute is no part of what was signed.
    {"a read-only signed file",
     [](Installed& i) {
       fs::permissions(i.folder / "bin/a.dll",
                       fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                       fs::perm_options::remove);
     },
     "ok"},
    {"the folder is missing", [](Installed& i) { fs::remove_all(i.folder); },
     platform::os_error(kFileNotFound).message()},
    {"a signed file held for reading",
     [](Installed& i) {
       i.held.push_back(
           std::make_shared<test::HeldOpen>(i.folder / "bin/a.dll", test::Sharing::ReadOnly));
     },
     "ok"},
};

INSTANTIATE_TEST_SUITE_P(Cases, VerifyInstalledFiles, testing::ValuesIn(kWindowsCases),
                         test::NameOfCase());

// A file or folder that cannot be read is no proof of an intact copy. Apart
// from the table, whose look at the folder afterwards would meet the holder too.
TEST(VerifyInstalledFilesAloneWin, AnEntryHeldWithoutSharingFailsTheCheck) {
  for (const char* entry : {"bin/a.dll", "data/sub"}) {
    SCOPED_TRACE(entry);
    Installed installed;
    const test::HeldOpen held(installed.folder / entry, test::Sharing::None);
    EXPECT_EQ(installed.verify(), platform::os_error(kSharingViolation).message());
  }
}

TEST(VerifyInstalledFilesAloneWin, ASizeDifferenceIsFoundWithoutReadingTheFile) {
  Installed installed;
  replace_with_file(installed.folder / "bin/a.dll", "other size");
  const test::HeldOpen held(installed.folder / "bin/a.dll", test::Sharing::None);
  ASSERT_FALSE(platform::File::open_read(installed.folder / "bin/a.dll"));
  EXPECT_EQ(installed.verify(), "Installed file has changed: bin/a.dll");
}

TEST(VerifyInstalledFilesAloneWin, CancelledBeforeAnyListing) {
  Installed installed;
  // Unlistable: a walk that began would fail with a sharing violation.
  const test::HeldOpen held(installed.folder, test::Sharing::None);
  CancelFlag cancel;
  cancel.set();
  EXPECT_EQ(installed.verify(cancel), "Preparation cancelled");
}

}  // namespace
}  // namespace orvo::core
