// Hashing and entry guard cases of Windows: a device, a file that another
// program holds open without sharing, and the system's own error texts.
// Wine makes no name with an unpaired surrogate (it refuses to create one), so
// the display form of such a name is shown by path_text_win_test.cpp only.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/cache/installed_files.hpp"
#include "core/cache/plain_files.hpp"
#include "hash_file_cases.hpp"
#include "platform/fs.hpp"
#include "platform/os_error.hpp"
#include "support/fs/held_open_win.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::core {

namespace fs = std::filesystem;

std::vector<EntryCase> system_guard_cases(const fs::path&) {
  constexpr int kFileNotFound = 2;
  const std::string missing = platform::os_error(kFileNotFound).message();
  return {{"nothing", nullptr, missing, missing}};
}

// Windows has no link that Wine makes, nor FIFOs: nothing but a folder takes
// a file's place here.
std::vector<EntryCase> system_opening_cases(const fs::path&) { return {}; }

namespace {

constexpr int kSharingViolation = 32;

// The size comes from the entry's attributes, which a holder does not keep
// from being read: a file held without sharing could not be opened at all.
TEST(HashFileWin, RefusesALargerFileWithoutOpeningIt) {
  test::TempDir dir;
  test::write_file(dir / "large", "");
  fs::resize_file(dir / "large", kGiB + 1);
  const test::HeldOpen held(dir / "large", test::Sharing::None);
  ASSERT_FALSE(platform::File::open_read(dir / "large"));
  EXPECT_EQ(outcome_of(hash_file(dir / "large", CancelFlag())), "File exceeds the size limit");
}

TEST(HashFileWin, AFileHeldWithoutSharingGivesTheSystemsRefusal) {
  test::TempDir dir;
  test::write_file(dir / "file", "content");
  {
    const test::HeldOpen held(dir / "file", test::Sharing::None);
    EXPECT_EQ(outcome_of(hash_file(dir / "file", CancelFlag())),
              platform::os_error(kSharingViolation).message());
  }
  // Readers may share a file that is being held for reading.
  const test::HeldOpen held(dir / "file", test::Sharing::ReadOnly);
  EXPECT_EQ(outcome_of(hash_file(dir / "file", CancelFlag())),
            "7 ed7002b439e9ac845f22357d822bac1444730fbdb6016d3ec9432297b9ec9f73");
}

TEST(EntryGuardsWin, RefuseADeviceAndHashNeverOpensIt) {
  // A device reached by its own name: a plain "NUL" is a file in the working folder.
  const fs::path device = "\\\\.\\NUL";
  // Refused by the system's look at the entry, before anything opens it.
  constexpr int kBadDeviceType = 66;
  const std::string refused = platform::os_error(kBadDeviceType).message();
  EXPECT_EQ(outcome_of(require_plain_folder(device)), refused);
  EXPECT_EQ(outcome_of(hash_file(device, CancelFlag())), refused);
}

}  // namespace
}  // namespace orvo::core
