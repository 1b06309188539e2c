// Attempts whose cache lies on a small file system that fills up while the
// package downloads, while it is extracted, and while the working marker is
// written: a clear error, no staging folder left, and the earlier working
// version still there to fall back to.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/cache/versions_cache.hpp"
#include "launch_choice_fixture.hpp"
#include "support/fs/small_file_system.hpp"
#include "support/release/random_bytes.hpp"
#include "support/suite/case_name.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kNoSpace = "No space left on device (os error 28)";
constexpr std::uint64_t kFileBytes = 128 * 1024;
constexpr int kFiles = 8;

enum class Stage { Download, Extraction };

struct FullDiskCase {
  std::string name;
  Stage stage;
};

class FullDisk : public LaunchChoice {
 protected:
  void SetUp() override {
    small.emplace(dir / "ORVO", 64 * 1024 * 1024);
    if (!small->mounted()) GTEST_SKIP() << "cannot mount a small file system: " << small->refusal();
    for (int i = 0; i < kFiles; ++i) {
      files.push_back({"data/file" + std::to_string(i) + ".bin",
                       test::random_bytes(kFileBytes, static_cast<unsigned>(i))});
    }
    files.push_back({"ORVO.Host.exe", "host of release 2"});
  }

  // The space a stage needs: the package for the download, the package and
  // the extracted files for the extraction.
  std::uint64_t space_before(Stage stage, const release_tool::PackedRelease& release) const {
    const std::uint64_t package = fs::file_size(release.package);
    return stage == Stage::Download ? package / 2 : package + kFiles * kFileBytes / 2;
  }

  void fill_leaving(std::uint64_t left) { small->fill_leaving(filler(), left); }
  fs::path filler() const { return dir / "ORVO" / "filler"; }

  std::vector<test::ReleaseFile> files;
  std::optional<test::SmallFileSystem> small;
};

class FullDiskDuring : public FullDisk, public testing::WithParamInterface<FullDiskCase> {};

TEST_P(FullDiskDuring, AnUpdateWithoutAWorkingVersionFailsWithTheCause) {
  const auto release = publish(files, 2);
  ASSERT_TRUE(fs::create_directories(versions()));
  fill_leaving(space_before(GetParam().stage, release));

  EXPECT_EQ(failure(), std::string(kNoCopy) + std::string(kNoSpace));
  EXPECT_EQ(staging_folders(), std::vector<std::string>{});
  EXPECT_EQ(entries_of(versions()), std::vector<std::string>{});
}

TEST_P(FullDiskDuring, AnUpdateFallsBackToTheWorkingVersion) {
  const auto release = publish(files, 2);
  const fs::path working = install_other("1-working", 1, true);
  fill_leaving(space_before(GetParam().stage, release));

  EXPECT_EQ(failure(), "chose 1-working");
  EXPECT_EQ(staging_folders(), std::vector<std::string>{});
  EXPECT_EQ(entries_of(versions()), std::vector<std::string>{"1-working"});
  EXPECT_EQ(test::read_file(working / ".orvo-working"), "ok");

  // Once there is room again, the same release installs.
  fs::remove(filler());
  EXPECT_EQ(failure().substr(0, 8), "chose 2-");
}

INSTANTIATE_TEST_SUITE_P(Cases, FullDiskDuring,
                         testing::Values(FullDiskCase{"download", Stage::Download},
                                         FullDiskCase{"extraction", Stage::Extraction}),
                         test::NameOfCase());

// The marker is the last thing written, once the host is up: a full disk
// leaves the version unmarked (never with a torn marker), the earlier
// working version keeps its own, and the marker is written once there is room.
TEST_F(FullDisk, AMarkerThatCannotBeWrittenLeavesTheVersionUnmarked) {
  const auto release = publish(files, 2);
  const fs::path working = install_other("1-working", 1, true);
  const fs::path installed = install("2-installed", files, release.envelope, false);
  fill_leaving(0);

  auto chosen = choose();
  ASSERT_TRUE(chosen) << chosen.error().chain_text();
  ASSERT_EQ(chosen->candidate.folder, installed);
  auto confirmed = confirm_working_version(chosen->context, chosen->candidate);
  ASSERT_FALSE(confirmed);
  EXPECT_EQ(confirmed.error().chain_text(), kNoSpace);
  EXPECT_FALSE(fs::exists(installed / ".orvo-working"));
  EXPECT_EQ(test::read_file(working / ".orvo-working"), "ok");
  EXPECT_EQ(staging_folders(), std::vector<std::string>{});

  fs::remove(filler());
  EXPECT_TRUE(confirm_working_version(chosen->context, chosen->candidate));
  EXPECT_EQ(test::read_file(installed / ".orvo-working"), "ok");
}

}  // namespace
}  // namespace orvo::core
