// Versions cache cases of Windows: folders and files that another program
// holds open, where POSIX takes permission bits away, and the system's own
// error texts. A crash at a write has no seam here: the Win32 calls cannot be
// made to fail on one thread as the Linux build's system-call filter does.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/cache/plain_files.hpp"
#include "core/cache/versions_cache.hpp"
#include "platform/os_error.hpp"
#include "support/fs/held_open_win.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/suite/case_name.hpp"
#include "versions_cache_fixture.hpp"

namespace orvo::core {

namespace fs = std::filesystem;

// Wine makes no Windows link, and every kind of entry it can make is in the shared cases.
std::map<std::string, bool> add_system_entries(Cache&) { return {}; }

namespace {

constexpr int kFileNotFound = 2;
constexpr int kSharingViolation = 32;

TEST(ListInstalledVersionsWin, FailsOnlyForTheVersionsFolderItself) {
  Cache cache;
  cache.install({.name = "a"});
  cache.install({.name = "b"});
  {
    const test::HeldOpen held(cache.versions(), test::Sharing::None);
    auto listed = list_installed_versions(cache.context);
    EXPECT_EQ(listed ? "listed" : listed.error().chain_text(),
              platform::os_error(kSharingViolation).message());
  }
  // A version whose envelope cannot be read is left out, and only it.
  const test::HeldOpen held(cache.versions() / "b" / ".orvo-manifest.json", test::Sharing::None);
  auto listed = list_installed_versions(cache.context);
  ASSERT_TRUE(listed) << listed.error().chain_text();
  ASSERT_EQ(listed->size(), 1u);
  EXPECT_EQ(listed->front().folder.filename(), "a");
}

const std::vector<ConfirmCase> kWindowsConfirmCases = {
    {"no versions folder",
     [](Cache& cache) {
       const fs::path folder = cache.install({.name = "a", .marker = std::nullopt});
       fs::rename(cache.versions(), cache.dir / "moved");
       return cache.candidate(folder);
     },
     platform::os_error(kFileNotFound).message(), std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Cases, ConfirmWorkingVersion, testing::ValuesIn(kWindowsConfirmCases),
                         test::NameOfCase());

TEST(ConfirmWorkingVersionAloneWin, ConfirmingTwiceWritesNothingTheSecondTime) {
  Cache cache;
  const LaunchCandidate candidate =
      cache.candidate(cache.install({.name = "a", .marker = std::nullopt}));
  ASSERT_EQ(outcome_of(confirm_working_version(cache.context, candidate)), "ok");
  const fs::path marker = candidate.folder / ".orvo-working";
  // Held for reading: the marker can now be read, but not replaced or removed.
  const test::HeldOpen held(marker, test::Sharing::ReadOnly);
  ASSERT_FALSE(replace_file_synced(marker, {}, cache.versions()));
  EXPECT_EQ(outcome_of(confirm_working_version(cache.context, candidate)), "ok");
  EXPECT_EQ(test::read_file(marker), "ok");
}

}  // namespace
}  // namespace orvo::core
