// Versions cache cases of POSIX facts: links, permission bits, a file's times
// set with utimensat, and a crash at a write.
// The links stay here: Wine makes no Windows link, and does not report a Unix
// one as a reparse point, so the Windows lane cannot make the entry these
// cases are about (the link decision has a table test of its own there).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/cache/installed_files.hpp"
#include "core/cache/plain_files.hpp"
#include "core/cache/versions_cache.hpp"
#include "support/fs/failing_calls.hpp"
#include "support/fs/special_files.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/suite/case_name.hpp"
#include "versions_cache_fixture.hpp"

namespace orvo::core {

namespace fs = std::filesystem;

std::map<std::string, bool> add_system_entries(Cache& cache) {
  const fs::path as_link = cache.install({.name = "marker-link", .marker = std::nullopt});
  test::write_file(cache.dir / "ok-file", "ok");
  fs::create_symlink(cache.dir / "ok-file", as_link / ".orvo-working");
  // A link to a working version is no version of its own.
  fs::create_directory_symlink(cache.versions() / "marker-ok", cache.versions() / "link");
  return {{"marker-link", false}};
}

namespace {

TEST(ListInstalledVersions, FailsOnlyForTheVersionsFolderItself) {
  Cache cache;
  cache.install({.name = "a"});
  fs::permissions(cache.versions(), fs::perms::none);
  test::run_bound_by_permissions([&] {
    auto listed = list_installed_versions(cache.context);
    EXPECT_EQ(listed ? "listed" : listed.error().chain_text(), "Permission denied (os error 13)");
  });

  Cache below_link;
  fs::create_directory_symlink(below_link.dir / "ORVO", below_link.dir / "link");
  below_link.context.cache_root = below_link.dir / "link" / "HostLauncher";
  auto listed = list_installed_versions(below_link.context);
  EXPECT_EQ(listed ? "listed" : listed.error().chain_text(),
            "Application cache path contains a link or non-directory");
}

// A link named as a marker temporary, old as one a crash left, goes neither
// itself nor with its target.
TEST(ListInstalledVersions, LeavesALinkNamedAsAMarkerTemporary) {
  Cache cache;
  const fs::path target = cache.dir / "precious";
  test::write_file(target, "precious");
  const fs::path link = cache.versions() / ".orvo-working.a1B2c3.tmp";
  fs::create_symlink(target, link);
  const timespec hour_ago[2] = {{std::time(nullptr) - 3600, 0}, {std::time(nullptr) - 3600, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, target.c_str(), hour_ago, 0), 0);
  ASSERT_EQ(::utimensat(AT_FDCWD, link.c_str(), hour_ago, AT_SYMLINK_NOFOLLOW), 0);
  ASSERT_TRUE(list_installed_versions(cache.context));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(test::read_file(target), "precious");
}

const std::vector<ConfirmCase> kPosixConfirmCases = {
    {"the candidate folder is a link",
     [](Cache& cache) {
       const fs::path real = cache.install({.name = "a", .marker = std::nullopt});
       fs::create_directory_symlink(real, cache.versions() / "link");
       return cache.candidate(cache.versions() / "link");
     },
     "Folder is a link or is not a directory: {folder}", std::nullopt},
    {"no versions folder",
     [](Cache& cache) {
       const fs::path folder = cache.install({.name = "a", .marker = std::nullopt});
       fs::rename(cache.versions(), cache.dir / "moved");
       return cache.candidate(folder);
     },
     "No such file or directory (os error 2)", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Cases, ConfirmWorkingVersion, testing::ValuesIn(kPosixConfirmCases),
                         test::NameOfCase());

TEST(ConfirmWorkingVersionAlone, ConfirmingTwiceWritesNothingTheSecondTime) {
  Cache cache;
  const LaunchCandidate candidate =
      cache.candidate(cache.install({.name = "a", .marker = std::nullopt}));
  ASSERT_EQ(outcome_of(confirm_working_version(cache.context, candidate)), "ok");
  // A read-only folder: any file written into it now would fail.
  fs::permissions(candidate.folder, fs::perms::owner_read | fs::perms::owner_exec);
  test::run_bound_by_permissions([&] {
    ASSERT_FALSE(write_file_synced(candidate.folder / "probe", {}));
    EXPECT_EQ(outcome_of(confirm_working_version(cache.context, candidate)), "ok");
  });
  EXPECT_EQ(test::read_file(candidate.folder / ".orvo-working"), "ok");
}

TEST(ConfirmWorkingVersionAlone, ACrashWhileMarkingLeavesNoMarkerOrACompleteOne) {
  Cache cache;
  const LaunchCandidate candidate =
      cache.candidate(cache.install({.name = "a", .marker = std::nullopt}));
  EXPECT_EXIT(
      {
        test::crash_at_call(test::SystemCall::Write);
        (void)confirm_working_version(cache.context, candidate);
      },
      test::crashed_at_call, "");
  const fs::path marker = candidate.folder / ".orvo-working";
  if (fs::exists(fs::symlink_status(marker))) {
    EXPECT_EQ(test::read_file(marker), "ok") << "a torn marker was left";
  }
  // What the crash left does not keep the version from being marked and listed.
  EXPECT_EQ(outcome_of(confirm_working_version(cache.context, candidate)), "ok");
  EXPECT_EQ(test::read_file(marker), "ok");
  auto listed = list_installed_versions(cache.context);
  ASSERT_TRUE(listed);
  ASSERT_EQ(listed->size(), 1u);
  EXPECT_TRUE(listed->front().working);
  EXPECT_TRUE(verify_installed_files(candidate.folder, listed->front().manifest.files, CancelFlag()));
}

}  // namespace
}  // namespace orvo::core
