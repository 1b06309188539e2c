// Folders the attempt may not write to, by their permission bits. A folder's
// read-only attribute on Windows does not keep files from being made in it, so
// this concern has no Windows twin.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "attempt/launch_choice_fixture.hpp"
#include "support/fs/special_files.hpp"
#include "support/suite/case_name.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;

struct ReadOnlyCase {
  std::string name;
  bool versions_only;  // else the whole cache root
  std::string error;
};

class ReadOnlyFolder : public LaunchChoice, public testing::WithParamInterface<ReadOnlyCase> {};

TEST_P(ReadOnlyFolder, InstallationFailsWithItsOwnMessageAndLeavesNothing) {
  const ReadOnlyCase& c = GetParam();
  publish(test::release_files(1), 1);
  fs::create_directories(versions());
  const fs::path locked = c.versions_only ? versions() : cache_root();
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  test::run_bound_by_permissions(
      [&] { EXPECT_EQ(failure(), std::string(kNoCopy) + c.error); });
  fs::permissions(locked, fs::perms::owner_all);
  EXPECT_EQ(entries_of(versions()), std::vector<std::string>{});
  EXPECT_EQ(staging_folders(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadOnlyFolder,
    testing::Values(ReadOnlyCase{"cache root", false,
                                 "Cannot create the temporary installation folder: Permission "
                                 "denied (os error 13)"},
                    ReadOnlyCase{"versions folder", true,
                                 "Cannot activate the downloaded files: Permission denied (os "
                                 "error 13)"}),
    test::NameOfCase{});

}  // namespace
}  // namespace orvo::core
