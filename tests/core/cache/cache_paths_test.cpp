// Cache entries read as the entries the listing found: names that Win32 would
// rewrite (a trailing dot or space, a device name) beside version folders and
// in an installed copy, and version folders under a cache path longer than
// MAX_PATH. Elsewhere these are plain names and lengths, with the same verdicts.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/cache/cache_root.hpp"
#include "core/cache/installed_files.hpp"
#include "core/cache/versions_cache.hpp"
#include "platform/fs.hpp"
#include "platform/path_text.hpp"
#include "support/fs/scoped_variable.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/release/release_builder.hpp"
#include "support/release/version_folder.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;
using test::ReleaseFile;

const std::vector<ReleaseFile> kFiles = {{"ORVO.Host.exe", "host"}, {"bin/x.dll", "library"}};

// Entries whose names the C++ library would pass to Win32 as they are go
// through the platform layer, and so does their removal.
void make_entry(const fs::path& path, bool folder) {
  if (folder) {
    ASSERT_TRUE(platform::create_folder(path));
    return;
  }
  auto file = platform::File::create_new(path);
  ASSERT_TRUE(file) << file.error().chain_text();
  ASSERT_TRUE(file->write_all(std::as_bytes(std::span(std::string_view("x")))));
  ASSERT_TRUE(file->close());
}

struct RemovedTree {
  fs::path path;
  ~RemovedTree() { platform::remove_tree(path); }
};

// A signed version installed and marked working in a cache below root.
struct Cache {
  test::ReleaseSigner signer;
  PreparationContext context;
  Manifest manifest = test::manifest_of(kFiles, 1);

  explicit Cache(const fs::path& root) {
    context.cache_root = root;
    std::ranges::copy(signer.release_key(), context.release_key.begin());
  }

  fs::path versions() const { return versions_folder_of(context.cache_root); }

  // Written at staged, a short path, then moved into place by the platform layer.
  fs::path install(const fs::path& staged, const std::string& name,
                   const std::optional<std::string>& marker) {
    test::write_version_folder(staged, kFiles, signer.envelope(manifest), marker);
    EXPECT_TRUE(ensure_versions_folder(context.cache_root));
    const auto moved = platform::rename_no_replace(staged, versions() / name);
    EXPECT_TRUE(moved) << moved.error().chain_text();
    return versions() / name;
  }
};

struct NameCase {
  const char* name;
  bool folder;
};

TEST(CacheEntryNames, AVersionIsListedOnceBesideItsLookAlikes) {
  for (const NameCase& c : {NameCase{"v1.", true}, NameCase{"v1 ", false},
                            NameCase{"v1. .", true}}) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    Cache cache(dir / "cache");
    const fs::path v1 = cache.install(dir / "staged", "v1", "ok");
    make_entry(cache.versions() / c.name, c.folder);
    RemovedTree removed{cache.versions() / c.name};

    const auto listed = list_installed_versions(cache.context);
    ASSERT_TRUE(listed) << listed.error().chain_text();
    ASSERT_EQ(listed->size(), 1U);
    EXPECT_EQ(listed->front().folder, v1);
    // Once v1 has failed to start, nothing else may stand in for it.
    const std::vector<fs::path> excluded = {v1};
    const auto fallback = find_fallback_version(cache.context, excluded, CancelFlag());
    ASSERT_FALSE(fallback);
    EXPECT_EQ(fallback.error().chain_text(),
              "No intact, previously launched ORVO installation was found");
  }
}

TEST(CacheEntryNames, AnInstalledCopyReportsTheEntryAsNamed) {
  const struct {
    NameCase entry;
    std::string outcome;
  } cases[] = {
      {{"NUL", false}, "Unexpected installed file: NUL"},
      {{"con.txt", false}, "Unexpected installed file: con.txt"},
      {{"COM1", false}, "Unexpected installed file: COM1"},
      {{"CONIN$", false}, "Unexpected installed file: CONIN$"},
      {{"AUX.", false}, "Unexpected installed file: AUX."},
      {{"bin/nul.dll", false}, "Unexpected installed file: bin/nul.dll"},
      {{"bin.", false}, "Unexpected installed file: bin."},
      {{"ORVO.Host.exe ", true}, "Unexpected installed folder: ORVO.Host.exe "},
      {{"prn", true}, "Unexpected installed folder: prn"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entry.name);
    test::TempDir dir;
    test::write_version_folder(dir / "v1", kFiles, "envelope", "ok");
    const fs::path entry = dir / "v1" / platform::path_from_utf8(c.entry.name);
    make_entry(entry, c.entry.folder);
    RemovedTree removed{entry};
    const auto checked = verify_installed_files(dir / "v1", test::manifest_of(kFiles, 1).files,
                                                CancelFlag());
    ASSERT_FALSE(checked);
    EXPECT_EQ(checked.error().chain_text(), c.outcome);
  }
}

// A version installed under a long LOCALAPPDATA is the same path as the
// versions folder above it, whether either is past MAX_PATH or not.
TEST(LongCachePath, AVersionUnderALongLocalAppDataIsMarkedWorking) {
  for (std::size_t length : {200U, 240U, 300U}) {
    SCOPED_TRACE(length);
    test::TempDir dir;
    fs::path local = dir / "local";
    while (local.native().size() < length) {
      local /= std::string(std::min<std::size_t>(40, length - local.native().size()), 'l');
    }
    RemovedTree removed{dir / "local"};
    test::ScopedVariable variable("LOCALAPPDATA", platform::path_utf8(local));
    const auto root = launcher_cache_root();
    ASSERT_TRUE(root) << root.error().chain_text();
    Cache cache(*root);
    const fs::path folder = cache.install(dir / "staged", "1.0.1-abc", std::nullopt);
    const LaunchCandidate candidate{.folder = folder,
                                    .host_exe = folder / "ORVO.Host.exe",
                                    .version = cache.manifest.version,
                                    .cached = false};

    const auto confirmed = confirm_working_version(cache.context, candidate);
    ASSERT_TRUE(confirmed) << confirmed.error().chain_text();
    const auto listed = list_installed_versions(cache.context);
    ASSERT_TRUE(listed) << listed.error().chain_text();
    ASSERT_EQ(listed->size(), 1U);
    EXPECT_TRUE(listed->front().working);
  }
}

}  // namespace
}  // namespace orvo::core
