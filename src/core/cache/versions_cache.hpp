// The per-user store of activated releases: "versions" below the cache root,
// one folder per release with its files, its signed envelope and, once it has
// started successfully, a working marker. Here: keeping the path to it free of
// links, reading and writing the launcher's small files under limits, listing
// the versions whose envelope still verifies, choosing a fallback and marking
// a started version as working. Nothing here deletes a version or changes
// its release files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "base/cancel_flag.hpp"
#include "base/error.hpp"
#include "core/context/preparation_context.hpp"
#include "core/release/manifest.hpp"
#include "core/release/verify_release.hpp"

namespace orvo::core {

// A cached envelope is read up to the size an envelope may have at all.
inline constexpr std::uint64_t kManifestReadLimit = kMaxEnvelopeBytes;
inline constexpr std::uint64_t kMarkerReadLimit = 2;

// A version folder whose envelope verified at the listing.
struct InstalledVersion {
  std::filesystem::path folder;  // the versions folder joined with the entry's name
  Manifest manifest;
  bool working = false;  // its marker holds exactly "ok"
};

// A version chosen to be started.
struct LaunchCandidate {
  std::filesystem::path folder;
  std::filesystem::path host_exe;  // folder / "ORVO.Host.exe"
  std::string version;
  bool cached = false;  // installed before this attempt
};

// cache_root/"versions", where every version folder lies.
std::filesystem::path versions_folder_of(const std::filesystem::path& cache_root);

// Makes cache_root/"versions" with any missing folder above it, on a path
// without links or non-folders, checked before and after.
Result<void> ensure_versions_folder(const std::filesystem::path& cache_root);

// Fails when the path or any folder above it is a link or not a folder;
// parts that do not exist are passed over.
Result<void> check_cache_ancestors(const std::filesystem::path& path);

// The version folders whose envelope verifies, in listing order; every other
// entry is passed over without a trace.
Result<std::vector<InstalledVersion>> list_installed_versions(const PreparationContext& context);

// The newest working version, not excluded, whose files are intact.
Result<LaunchCandidate> find_fallback_version(const PreparationContext& context,
                                              std::span<const std::filesystem::path> excluded,
                                              const CancelFlag& cancel);

LaunchCandidate launch_candidate_for(const InstalledVersion& version, bool cached);

// Marks a started version as working, after checking that it lies directly in
// the versions folder and is still intact; an "ok" marker is left as it is,
// any other is replaced. It takes no cancel flag: a host that is already up is
// confirmed even while the attempt is being cancelled.
Result<void> confirm_working_version(const PreparationContext& context,
                                     const LaunchCandidate& candidate);

}  // namespace orvo::core
