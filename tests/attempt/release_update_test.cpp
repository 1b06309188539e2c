// The update path of an attempt, through choose_launch: a new release
// downloaded, checked, extracted and activated; installed copies reused; the
// limits on the manifest and the package.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>
#include <regex>
#include <thread>

#include "attempt/launch_choice_fixture.hpp"
#include "core/release/sha256.hpp"
#include "platform/fs.hpp"
#include "support/suite/case_name.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;

// ---- A new release: downloaded, checked, extracted and activated.

TEST_F(LaunchChoice, DownloadsAndActivatesANewRelease) {
  install_other("1-old", 1, true);
  // Left by an attempt that ended abruptly: neither reused nor removed.
  fs::create_directories(cache_root() / ".staging-AbC123");
  test::write_file(cache_root() / ".staging-AbC123" / "host.zip", "stale");
  const auto release = publish(test::release_files(2), 2);

  auto chosen = choose();
  ASSERT_TRUE(chosen) << chosen.error().chain_text();
  const LaunchCandidate& candidate = chosen->candidate;
  EXPECT_FALSE(candidate.cached);
  EXPECT_EQ(candidate.version, "1.0.2");
  EXPECT_EQ(candidate.folder.parent_path(), versions());
  EXPECT_EQ(candidate.host_exe, candidate.folder / "ORVO.Host.exe");
  const std::string name = candidate.folder.filename().string();
  EXPECT_TRUE(std::regex_match(
      name, std::regex("2-" + release.manifest.package_sha256.substr(0, 16) + "-[0-9a-f]{16}")))
      << name;

  EXPECT_EQ(test::read_file(candidate.folder / ".orvo-manifest.json"), release.envelope);
  EXPECT_EQ(test::read_file(candidate.folder / "lib/support.dll"),
            test::release_files(2)[1].content);
  EXPECT_FALSE(fs::exists(candidate.folder / ".orvo-working"));
  EXPECT_EQ(staging_folders(), std::vector<std::string>{".staging-AbC123"});
  EXPECT_EQ(test::read_file(cache_root() / ".staging-AbC123" / "host.zip"), "stale");

  const auto seen = messages();
  ASSERT_GE(seen.size(), 5u);
  EXPECT_EQ(seen[0], "Checking for ORVO updates…");
  EXPECT_EQ(seen[1], "Downloading ORVO Support… 10");
  EXPECT_EQ(seen[seen.size() - 3], "Downloading ORVO Support… 75");
  EXPECT_EQ(seen[seen.size() - 2], "Preparing your support app… 80");
  EXPECT_EQ(seen.back(), "ORVO Support is ready… 100");
  EXPECT_EQ(server.requests().size(), 2u);
}

TEST_F(LaunchChoice, DownloadPercentGrowsFromPieceToPieceUpTo75) {
  const auto release = publish(test::release_files(3), 3);
  const std::string package = package_bytes(release);
  test::Answer pieces;
  const std::size_t piece = package.size() / 20 + 1;
  for (std::size_t at = 0; at < package.size(); at += piece) {
    pieces.pieces.push_back(package.substr(at, piece));
  }
  pieces.pause = std::chrono::milliseconds(5);
  pieces.framing = test::Framing::Chunked;
  server.on(std::string(test::kPackageTarget), pieces);

  ASSERT_TRUE(choose());
  std::vector<int> percents;
  for (const auto& line : messages()) {
    if (line.starts_with("Downloading ORVO Support… ")) {
      percents.push_back(std::stoi(line.substr(line.rfind(' ') + 1)));
    }
  }
  ASSERT_GE(percents.size(), 3u);
  EXPECT_EQ(percents.front(), 10);  // before the staging folder
  // The loop posts only a changed value, so after its first post every value grows.
  for (std::size_t i = 2; i < percents.size(); ++i) EXPECT_LT(percents[i - 1], percents[i]);
  EXPECT_EQ(percents.back(), 75);
}

// ---- Installed copies of the offered release.

TEST_F(LaunchChoice, IntactInstalledCopyIsReusedWithoutDownloadEvenIfNeverStarted) {
  const auto release = publish(test::release_files(4), 4);
  const auto folder = install("4-copy", test::release_files(4), release.envelope, false);

  auto chosen = choose();
  ASSERT_TRUE(chosen) << chosen.error().chain_text();
  EXPECT_EQ(chosen->candidate.folder, folder);
  EXPECT_TRUE(chosen->candidate.cached);
  EXPECT_FALSE(requested(test::kPackageTarget));
  EXPECT_EQ(messages(), (std::vector<std::string>{"Checking for ORVO updates…",
                                                  "Checking your installed files… 10"}));
}

// Two copies of the offered release, one of them damaged. Which is damaged is
// chosen after the folders are made, by the order in which the system lists
// them (the order the attempt sees), so both orders run on any file system.
struct DamagedCopyCase {
  std::string name;
  std::size_t damaged;  // position in listing order
  std::size_t chosen;
  std::ptrdiff_t checks;  // "Checking your installed files…" messages
};

class DamagedCopy : public LaunchChoice, public testing::WithParamInterface<DamagedCopyCase> {};

TEST_P(DamagedCopy, IsPassedOverAndKept) {
  const DamagedCopyCase& c = GetParam();
  const auto release = publish(test::release_files(4), 4);
  install("4-a", test::release_files(4), release.envelope, false);
  install("4-b", test::release_files(4), release.envelope, false);
  auto entries = platform::list_folder(versions());
  ASSERT_TRUE(entries);
  std::vector<fs::path> listed;
  for (const auto& entry : *entries) listed.push_back(versions() / entry.name.value());
  ASSERT_EQ(listed.size(), 2u);
  // Same size, one bit changed; marked working, which plays no part in the choice.
  const fs::path damaged_file = listed[c.damaged] / "lib/support.dll";
  std::string damaged_bytes = test::read_file(damaged_file);
  damaged_bytes.back() ^= 1;
  test::write_file(damaged_file, damaged_bytes);
  test::write_file(listed[c.damaged] / ".orvo-working", "ok");

  auto chosen = choose();
  ASSERT_TRUE(chosen) << chosen.error().chain_text();
  EXPECT_EQ(chosen->candidate.folder, listed[c.chosen]);
  EXPECT_TRUE(chosen->candidate.cached);
  EXPECT_EQ(std::ranges::count(messages(), "Checking your installed files… 10"), c.checks);
  EXPECT_EQ(test::read_file(damaged_file), damaged_bytes);
  EXPECT_FALSE(requested(test::kPackageTarget));
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedCopy,
                         testing::Values(DamagedCopyCase{"damaged listed first", 0, 1, 2},
                                         DamagedCopyCase{"damaged listed second", 1, 0, 1}),
                         test::NameOfCase{});

TEST_F(LaunchChoice, EveryCopyDamagedDownloadsIntoAFurtherFolder) {
  const auto release = publish(test::release_files(4), 4);
  auto damaged_files = test::release_files(4);
  damaged_files[0].content += "!";
  install("4-a", damaged_files, release.envelope, true);
  install("4-b", damaged_files, release.envelope, true);

  auto chosen = choose();
  ASSERT_TRUE(chosen) << chosen.error().chain_text();
  EXPECT_FALSE(chosen->candidate.cached);
  EXPECT_EQ(entries_of(versions()).size(), 3u);
  const auto seen = messages();
  EXPECT_EQ(std::ranges::count(seen, "Checking your installed files… 10"), 2);
  EXPECT_EQ(seen.back(), "ORVO Support is ready… 100");
}

// ---- The manifest's size limit, announced and read.

struct ManifestSizeCase {
  std::string name;
  test::Framing framing;
  std::uint64_t size;         // bytes of the answer: a padded envelope, or pattern bytes
  bool padded_envelope;
  std::string error;          // empty: the release is installed
};

class ManifestSize : public LaunchChoice, public testing::WithParamInterface<ManifestSizeCase> {};

TEST_P(ManifestSize, LimitHoldsForAnnouncedAndUnannouncedLengths) {
  const ManifestSizeCase& c = GetParam();
  const auto release = publish(test::release_files(1), 1);
  test::Answer answer;
  answer.framing = c.framing;
  if (c.padded_envelope) {
    answer.pieces = {release.envelope + std::string(c.size - release.envelope.size(), ' ')};
  } else {
    answer.pieces = {"{"};
    answer.generated_size = c.size - 1;
  }
  server.on(std::string(test::kManifestTarget), answer);

  const std::string outcome = failure();
  if (c.error.empty()) {
    EXPECT_TRUE(outcome.starts_with("chose 1-")) << outcome;
  } else {
    EXPECT_EQ(outcome, std::string(kNoCopy) + c.error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ManifestSize,
    testing::Values(
        ManifestSizeCase{"announced at the limit", test::Framing::Length, 4'194'304, true, ""},
        ManifestSizeCase{"announced over the limit", test::Framing::Length, 4'194'305, false,
                         "Release manifest is too large"},
        ManifestSizeCase{"unannounced at the limit", test::Framing::Chunked, 4'194'304, true, ""},
        ManifestSizeCase{"unannounced over the limit", test::Framing::Chunked, 4'194'305, false,
                         "Input exceeds the allowed size"}),
    test::NameOfCase{});

TEST_F(LaunchChoice, AnnouncedOversizeIsRefusedBeforeTheBodyArrives) {
  publish(test::release_files(1), 1);
  test::Answer announced;
  announced.content_length = 4'194'305;
  announced.pieces = {"{"};
  announced.ending = test::Ending::Stall;  // the rest never comes
  server.on(std::string(test::kManifestTarget), announced);
  EXPECT_EQ(failure(), std::string(kNoCopy) + "Release manifest is too large");
}

// A read error of the manifest body is the update's error itself, under no
// message of the attempt's own.
TEST_F(LaunchChoice, ManifestBodyCutOffFailsWithTheReadErrorAsIs) {
  const auto release = publish(test::release_files(1), 1);
  test::Answer cut = test::Answer::body(release.envelope.substr(0, release.envelope.size() / 2));
  cut.content_length = release.envelope.size();
  cut.ending = test::Ending::Cut;
  server.on(std::string(test::kManifestTarget), cut);
  const std::string text = failure();
  EXPECT_TRUE(text.starts_with(std::string(kNoCopy) + "Transferred a partial file: ")) << text;
}

// ---- A package that does not match its signed size or digest.

struct PackageCase {
  std::string name;
  std::function<test::Answer(const std::string& package)> answer;
  std::string error;  // ending in ": ": the server's error follows
};

class BadPackage : public LaunchChoice, public testing::WithParamInterface<PackageCase> {};

TEST_P(BadPackage, IsRefusedLeavingNoFolderBehind) {
  const PackageCase& c = GetParam();
  const auto release = publish(test::release_files(1), 1);
  server.on(std::string(test::kPackageTarget), c.answer(package_bytes(release)));

  const std::string text = failure();
  const std::string expected = std::string(kNoCopy) + c.error;
  if (expected.ends_with(": ")) {
    EXPECT_TRUE(text.starts_with(expected) && text.size() > expected.size()) << text;
  } else {
    EXPECT_EQ(text, expected);
  }
  EXPECT_EQ(entries_of(versions()), std::vector<std::string>{});
  EXPECT_EQ(staging_folders(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadPackage,
    testing::Values(
        PackageCase{"announced length differs",
                    [](const std::string& p) { return test::Answer::body(p + "x"); },
                    "Download length does not match the signed release"},
        PackageCase{"more bytes than signed", [](const std::string& p) { return chunked(p + "x"); },
                    "Download exceeds the signed size"},
        PackageCase{"body ends early",
                    [](const std::string& p) { return chunked(p.substr(0, p.size() - 1)); },
                    "Download ended before all files arrived"},
        PackageCase{"other digest",
                    [](const std::string& p) {
                      std::string changed = p;
                      changed[changed.size() / 2] ^= 1;
                      return test::Answer::body(changed);
                    },
                    "Downloaded package failed its integrity check"},
        PackageCase{"connection cut mid-body",
                    [](const std::string& p) {
                      test::Answer cut = test::Answer::body(p.substr(0, p.size() / 2));
                      cut.content_length = p.size();
                      cut.ending = test::Ending::Cut;
                      return cut;
                    },
                    "Download was interrupted: Transferred a partial file: "},
        PackageCase{"not found",
                    [](const std::string&) { return test::Answer::status_only(404, "Not Found"); },
                    "Cannot download ORVO Support: "}),
    test::NameOfCase{});

}  // namespace
}  // namespace orvo::core
