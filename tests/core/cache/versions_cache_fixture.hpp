// The versions cache's fixture, shared by the cases of both systems: a cache
// root with version folders signed for the test, and the table of outcomes
// of confirming a version that each system's test file fills with its own rows.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/cache/versions_cache.hpp"
#include "outcome.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/release/release_builder.hpp"
#include "support/release/version_folder.hpp"

namespace orvo::core {

struct Version {
  std::string name;
  std::uint64_t sequence = 1;
  std::optional<std::string> marker = "ok";  // nullopt: no marker
  bool intact = true;
};

// A cache root with a versions folder and the key its releases are signed with.
struct Cache {
  test::TempDir dir;
  test::ReleaseSigner signer;
  PreparationContext context;

  Cache() {
    context.cache_root = dir / "ORVO" / "HostLauncher";
    std::ranges::copy(signer.release_key(), context.release_key.begin());
    std::filesystem::create_directories(versions());
  }

  std::filesystem::path versions() const { return context.cache_root / "versions"; }

  static std::vector<test::ReleaseFile> files_of(std::string_view name) {
    return {{"ORVO.Host.exe", "host of " + std::string(name)}, {"lib/x.dll", "library"}};
  }

  // A release in folder with its envelope (signed by signer) and its marker.
  static void install_at(const std::filesystem::path& folder, const Version& v,
                         const test::ReleaseSigner& signer) {
    const auto files = files_of(v.name);
    test::write_version_folder(folder, files, signer.envelope(test::manifest_of(files, v.sequence)),
                               v.marker);
    if (!v.intact) test::write_file(folder / "lib/x.dll", "librarY");
  }

  std::filesystem::path install(const Version& v) {
    install_at(versions() / v.name, v, signer);
    return versions() / v.name;
  }

  LaunchCandidate candidate(const std::filesystem::path& folder, std::uint64_t sequence = 1) const {
    return LaunchCandidate{.folder = folder,
                           .host_exe = folder / "ORVO.Host.exe",
                           .version = "1.0." + std::to_string(sequence),
                           .cached = true};
  }
};

struct ConfirmCase {
  const char* name;
  // Prepares the cache and gives the candidate to confirm.
  std::function<LaunchCandidate(Cache&)> setup;
  std::string expected;                     // "{folder}" stands for the candidate's folder
  std::optional<std::string> marker_after;  // nullopt: no marker file afterwards
};

inline std::function<LaunchCandidate(Cache&)> installed_with_marker(std::optional<std::string> marker) {
  return [marker](Cache& cache) {
    return cache.candidate(cache.install({.name = "a", .marker = marker}));
  };
}

inline void PrintTo(const ConfirmCase& c, std::ostream* out) { *out << c.name; }

class ConfirmWorkingVersion : public testing::TestWithParam<ConfirmCase> {};

// Entries of the kinds only one system has, made beside the versions of
// cache; gives the working state of those that the listing must keep.
std::map<std::string, bool> add_system_entries(Cache& cache);

}  // namespace orvo::core
