// Listing the versions cache, choosing a fallback and confirming a started
// version, on version folders with releases signed for the test.
#include "core/cache/versions_cache.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/fs/temp_dir.hpp"
#include "support/release/release_builder.hpp"
#include "support/suite/case_name.hpp"
#include "versions_cache_fixture.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;

TEST(ListInstalledVersions, KeepsVerifiedFoldersAndReadsTheirMarkers) {
  Cache cache;
  // Named apart from their markers: Windows keeps neither letter case nor a line break in a name.
  const std::pair<const char*, const char*> markers[] = {
      {"marker-ok", "ok"}, {"marker-upper", "OK"}, {"marker-short", "o"},
      {"marker-empty", ""}, {"marker-line-break", "ok\n"}};
  for (const auto& [name, marker] : markers) cache.install({.name = name, .marker = marker});
  cache.install({.name = "unmarked", .sequence = 7, .marker = std::nullopt});
  const fs::path as_folder = cache.install({.name = "marker-folder", .marker = std::nullopt});
  fs::create_directory(as_folder / ".orvo-working");
  // Trailing whitespace is part of a valid envelope, so it can be padded to any size.
  const fs::path at_limit = cache.install({.name = "envelope-at-limit"});
  const auto pad_envelope = [](const fs::path& folder, std::uint64_t size) {
    fs::resize_file(folder / ".orvo-manifest.json", size);
    std::string envelope = test::read_file(folder / ".orvo-manifest.json");
    std::replace(envelope.begin(), envelope.end(), '\0', ' ');
    test::write_file(folder / ".orvo-manifest.json", envelope);
  };
  pad_envelope(at_limit, kManifestReadLimit);

  // Entries that are passed over.
  pad_envelope(cache.install({.name = "envelope-over-limit"}), kManifestReadLimit + 1);
  test::ReleaseSigner other;
  Cache::install_at(cache.versions() / "other-key", {.name = "other-key"}, other);
  const fs::path altered = cache.install({.name = "altered"});
  test::write_file(altered / ".orvo-manifest.json", R"({"payload":"e30=","signature":")" +
                                                        cache.signer.signature_hex("{}x") + "\"}");
  fs::remove(cache.install({.name = "no-envelope"}) / ".orvo-manifest.json");
  const fs::path envelope_folder = cache.install({.name = "envelope-folder"});
  fs::remove(envelope_folder / ".orvo-manifest.json");
  fs::create_directory(envelope_folder / ".orvo-manifest.json");
  test::write_file(cache.versions() / "plain-file", "");
  std::map<std::string, bool> expected = add_system_entries(cache);

  auto listed = list_installed_versions(cache.context);
  ASSERT_TRUE(listed) << listed.error().chain_text();
  std::map<std::string, bool> working;
  for (const InstalledVersion& v : *listed) {
    EXPECT_EQ(v.folder.parent_path(), cache.versions());
    working[v.folder.filename().string()] = v.working;
    if (v.folder.filename() == "unmarked") {
      EXPECT_EQ(v.manifest.sequence, 7U);
    }
  }
  expected.insert({
      {"marker-ok", true},      {"marker-upper", false},   {"marker-short", false},
      {"marker-empty", false},  {"marker-line-break", false}, {"unmarked", false},
      {"marker-folder", false}, {"envelope-at-limit", true},
  });
  EXPECT_EQ(working, expected);
}

struct FallbackCase {
  const char* name;
  std::vector<Version> versions;
  std::vector<std::string> excluded;  // appended to the versions folder's path as text
  bool cancelled = false;
  std::string expected;  // the chosen folder's name, or the error
};

constexpr std::uint64_t kHighBit = std::uint64_t{1} << 63;
const std::string kNoneFound = "No intact, previously launched ORVO installation was found";

const std::vector<FallbackCase> kFallbackCases = {
    {"the highest sequence wins", {{"a", 1}, {"b", 3}, {"c", 2}}, {}, false, "b"},
    {"sequences compare as unsigned", {{"a", 5}, {"b", kHighBit + 1}}, {}, false, "b"},
    {"not working is passed over",
     {{"a", 1}, {"b", 3, std::nullopt}, {"c", 2, "OK"}},
     {},
     false,
     "a"},
    {"broken files are passed over", {{"a", 1}, {"b", 3, "ok", false}}, {}, false, "a"},
    {"excluded with a trailing separator", {{"a", 1}, {"b", 3}}, {"/b/"}, false, "a"},
    {"excluded with a doubled separator", {{"a", 1}, {"b", 3}}, {"//b"}, false, "a"},
    {"everything excluded", {{"a", 1}, {"b", 3}}, {"/a", "/b"}, false, kNoneFound},
    {"nothing working", {{"a", 1, std::nullopt}, {"b", 3, "ok", false}}, {}, false, kNoneFound},
    {"an empty cache", {}, {}, false, kNoneFound},
    {"cancelled with a candidate", {{"a", 1}}, {}, true, "Preparation cancelled"},
    {"cancelled with none", {}, {}, true, "Preparation cancelled"},
};

void PrintTo(const FallbackCase& c, std::ostream* out) { *out << c.name; }

class FindFallbackVersion : public testing::TestWithParam<FallbackCase> {};

TEST_P(FindFallbackVersion, Choice) {
  const FallbackCase& c = GetParam();
  Cache cache;
  for (const Version& v : c.versions) cache.install(v);
  std::vector<fs::path> excluded;
  for (const std::string& text : c.excluded)
    excluded.emplace_back(cache.versions().string() + text);
  CancelFlag cancel;
  if (c.cancelled) cancel.set();
  auto chosen = find_fallback_version(cache.context, excluded, cancel);
  EXPECT_EQ(chosen ? chosen->folder.filename().string() : chosen.error().chain_text(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, FindFallbackVersion, testing::ValuesIn(kFallbackCases),
                         test::NameOfCase());

TEST(FindFallbackVersionAlone, EqualSequencesKeepTheListingOrder) {
  Cache cache;
  // More than a handful, so that an unstable sort would show itself.
  constexpr std::size_t kEqual = 24;
  for (std::size_t i = 0; i < kEqual; ++i) {
    cache.install({.name = "v" + std::to_string(i), .sequence = 2});
  }
  cache.install({.name = "older", .sequence = 1});
  auto listed = list_installed_versions(cache.context);
  ASSERT_TRUE(listed);
  std::vector<fs::path> order;
  for (const InstalledVersion& v : *listed) {
    if (v.manifest.sequence == 2) order.push_back(v.folder);
  }
  ASSERT_EQ(order.size(), kEqual);
  // Excluding the chosen one each time walks the equal versions in listing order.
  std::vector<fs::path> excluded;
  for (const fs::path& expected : order) {
    auto chosen = find_fallback_version(cache.context, excluded, CancelFlag());
    ASSERT_TRUE(chosen) << chosen.error().chain_text();
    EXPECT_EQ(chosen->folder, expected);
    excluded.push_back(chosen->folder);
  }
  EXPECT_EQ(find_fallback_version(cache.context, excluded, CancelFlag())->folder.filename(),
            "older");
}

TEST(FindFallbackVersionAlone, TheCandidateIsACachedCopyOfTheVersion) {
  Cache cache;
  const fs::path folder = cache.install({.name = "a", .sequence = 4});
  auto chosen = find_fallback_version(cache.context, {}, CancelFlag());
  ASSERT_TRUE(chosen) << chosen.error().chain_text();
  EXPECT_EQ(chosen->folder, folder);
  EXPECT_EQ(chosen->host_exe, folder / "ORVO.Host.exe");
  EXPECT_EQ(chosen->version, "1.0.4");
  EXPECT_TRUE(chosen->cached);

  const InstalledVersion installed{.folder = folder, .manifest = test::valid_manifest(9)};
  const LaunchCandidate fresh = launch_candidate_for(installed, false);
  EXPECT_EQ(fresh.version, "1.0.9");
  EXPECT_FALSE(fresh.cached);
}

const std::vector<ConfirmCase> kConfirmCases = {
    {"an unmarked version is marked", installed_with_marker(std::nullopt), "ok", "ok"},
    {"a marked version stays as it is", installed_with_marker("ok"), "ok", "ok"},
    // A marker that a crash tore, or any other content, is written afresh.
    {"marker OK is rewritten", installed_with_marker("OK"), "ok", "ok"},
    {"marker o is rewritten", installed_with_marker("o"), "ok", "ok"},
    {"empty marker is rewritten", installed_with_marker(""), "ok", "ok"},
    {"marker with a line break is rewritten", installed_with_marker("ok\n"), "ok", "ok"},
    // The marker is checked after the files, whose walk allows no folder of that name.
    {"marker folder",
     [](Cache& cache) {
       const fs::path folder = cache.install({.name = "a", .marker = std::nullopt});
       fs::create_directory(folder / ".orvo-working");
       return cache.candidate(folder);
     },
     "Unexpected installed folder: .orvo-working", std::nullopt},
    {"a path to the folder with relative elements",
     [](Cache& cache) {
       cache.install({.name = "a", .marker = std::nullopt});
       return cache.candidate(cache.versions() / "." / "a" / "");
     },
     "ok", "ok"},
    {"outside the cache",
     [](Cache& cache) {
       Cache::install_at(cache.dir / "elsewhere", {.name = "a", .marker = std::nullopt},
                         cache.signer);
       return cache.candidate(cache.dir / "elsewhere");
     },
     "Installation is outside the launcher cache", std::nullopt},
    {"one level too deep",
     [](Cache& cache) {
       Cache::install_at(cache.versions() / "group" / "a", {.name = "a", .marker = std::nullopt},
                         cache.signer);
       return cache.candidate(cache.versions() / "group" / "a");
     },
     "Installation is outside the launcher cache", std::nullopt},
    {"another version in the envelope",
     [](Cache& cache) {
       return cache.candidate(cache.install({.name = "a", .sequence = 2, .marker = std::nullopt}),
                              3);
     },
     "Installation version changed", std::nullopt},
    {"broken files",
     [](Cache& cache) {
       return cache.candidate(
           cache.install({.name = "a", .marker = std::nullopt, .intact = false}));
     },
     "Installed file failed its integrity check: lib/x.dll", std::nullopt},
    {"an envelope under another key",
     [](Cache& cache) {
       test::ReleaseSigner other;
       const fs::path folder = cache.versions() / "a";
       Cache::install_at(folder, {.name = "a", .marker = std::nullopt}, other);
       return cache.candidate(folder);
     },
     "The release signature could not be verified", std::nullopt},
};

TEST_P(ConfirmWorkingVersion, Outcome) {
  const ConfirmCase& c = GetParam();
  Cache cache;
  const LaunchCandidate candidate = c.setup(cache);
  std::string expected = c.expected;
  if (auto at = expected.find("{folder}"); at != std::string::npos) {
    expected.replace(at, 8, candidate.folder.string());
  }
  auto confirmed = confirm_working_version(cache.context, candidate);
  // A library's wrapped cause is its own wording; the launcher's message is the outer one.
  EXPECT_EQ(confirmed ? "ok" : confirmed.error().message(), expected);
  const fs::path marker = candidate.folder / ".orvo-working";
  if (c.marker_after) {
    EXPECT_EQ(test::read_file(marker), *c.marker_after);
  } else {
    EXPECT_FALSE(fs::is_regular_file(fs::symlink_status(marker)));
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ConfirmWorkingVersion, testing::ValuesIn(kConfirmCases),
                         test::NameOfCase());

}  // namespace
}  // namespace orvo::core
