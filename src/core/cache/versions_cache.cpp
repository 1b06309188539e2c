#include "core/cache/versions_cache.hpp"

#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <ranges>
#include <string_view>
#include <utility>

#include "core/cache/installed_files.hpp"
#include "core/cache/launcher_files.hpp"
#include "core/cache/plain_files.hpp"
#include "core/release/verify_release.hpp"
#include "platform/fs.hpp"
#include "platform/entry_errors.hpp"

namespace orvo::core {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kWorkingContent = "ok";

bool holds_working_content(std::span<const std::byte> bytes) {
  return std::ranges::equal(bytes, std::as_bytes(std::span(kWorkingContent)));
}

bool has_working_marker(const fs::path& folder) {
  auto marker = read_file_limited(folder / kWorkingMarkerName, kMarkerReadLimit);
  return marker && holds_working_content(*marker);
}

// Paths compared element by element as text, so that doubled or trailing
// separators make no difference.
bool same_elements(const fs::path& a, const fs::path& b) {
  const auto named = std::views::filter([](const fs::path& element) { return !element.empty(); });
  return std::ranges::equal(a | named, b | named, [](const fs::path& x, const fs::path& y) {
    return x.native() == y.native();
  });
}

bool is_excluded(const fs::path& folder, std::span<const fs::path> excluded) {
  return std::ranges::any_of(excluded,
                             [&](const fs::path& other) { return same_elements(folder, other); });
}

// The version folder's envelope, verified again.
Result<Manifest> read_verified_manifest(const PreparationContext& context, const fs::path& folder) {
  auto envelope = read_file_limited(folder / kManifestFileName, kManifestReadLimit);
  if (!envelope) return fail(std::move(envelope).error());
  return verify_release(*envelope, context.release_key, context.allow_loopback_http);
}

}  // namespace

fs::path versions_folder_of(const fs::path& cache_root) { return cache_root / "versions"; }

Result<void> check_cache_ancestors(const fs::path& path) {
  for (fs::path current = path;;) {
    if (!current.empty()) {
      auto attributes = platform::entry_attributes(current);
      if (attributes) {
        if (!attributes->is_directory() || attributes->is_reparse_point()) {
          return fail("Application cache path contains a link or non-directory");
        }
      } else if (!platform::is_missing_entry(attributes.error())) {
        return fail(std::move(attributes).error());
      }
    }
    fs::path parent = current.parent_path();
    if (current.empty() || parent == current) return {};
    current = std::move(parent);
  }
}

Result<void> ensure_versions_folder(const fs::path& cache_root) {
  if (auto checked = check_cache_ancestors(cache_root); !checked) return checked;
  const fs::path versions = versions_folder_of(cache_root);
  if (auto made = platform::create_folders(versions); !made) {
    return fail(std::move(made).error().wrap("Cannot create the ORVO application folder"));
  }
  return check_cache_ancestors(versions);
}

Result<std::vector<InstalledVersion>> list_installed_versions(const PreparationContext& context) {
  if (auto ensured = ensure_versions_folder(context.cache_root); !ensured) {
    return fail(std::move(ensured).error());
  }
  const fs::path versions = versions_folder_of(context.cache_root);
  auto entries = platform::list_folder(versions);
  if (!entries) return fail(std::move(entries).error());

  std::vector<InstalledVersion> installed;
  for (auto& entry : *entries) {
    if (!entry.name) return fail(std::move(entry.name).error());
    // A crash while a marker was written leaves its temporary beside the folders.
    remove_leftover_temporary(versions, *entry.name, kWorkingMarkerName);
    fs::path folder = versions / *entry.name;
    // Whatever is wrong with one entry only keeps that entry out of the list.
    if (!require_plain_folder(folder)) continue;
    auto manifest = read_verified_manifest(context, folder);
    if (!manifest) continue;
    const bool working = has_working_marker(folder);
    installed.push_back({std::move(folder), std::move(*manifest), working});
  }
  return installed;
}

Result<LaunchCandidate> find_fallback_version(const PreparationContext& context,
                                              std::span<const fs::path> excluded,
                                              const CancelFlag& cancel) {
  auto installed = list_installed_versions(context);
  if (!installed) return fail(std::move(installed).error());
  std::ranges::stable_sort(*installed, std::greater<>(),
                           [](const InstalledVersion& v) { return v.manifest.sequence; });
  for (const InstalledVersion& version : *installed) {
    if (!version.working || is_excluded(version.folder, excluded)) continue;
    if (cancel.is_set()) return fail(cancelled_error());
    // Why a version is refused is not reported: only the search's outcome is.
    if (verify_installed_files(version.folder, version.manifest.files, cancel)) {
      return launch_candidate_for(version, true);
    }
  }
  if (cancel.is_set()) return fail(cancelled_error());
  return fail("No intact, previously launched ORVO installation was found");
}

LaunchCandidate launch_candidate_for(const InstalledVersion& version, bool cached) {
  return LaunchCandidate{
      .folder = version.folder,
      .host_exe = version.folder / kHostExecutableName,
      .version = version.manifest.version,
      .cached = cached,
  };
}

Result<void> confirm_working_version(const PreparationContext& context,
                                     const LaunchCandidate& candidate) {
  auto versions = platform::canonical_path(versions_folder_of(context.cache_root));
  if (!versions) return fail(std::move(versions).error());
  if (auto plain = require_plain_folder(candidate.folder); !plain) return plain;
  auto folder = platform::canonical_path(candidate.folder);
  if (!folder) return fail(std::move(folder).error());
  if (!folder->has_filename() || !same_elements(folder->parent_path(), *versions)) {
    return fail("Installation is outside the launcher cache");
  }
  auto manifest = read_verified_manifest(context, *folder);
  if (!manifest) return fail(std::move(manifest).error());
  if (manifest->version != candidate.version) return fail("Installation version changed");
  // A flag of its own that is never set: the attempt's cancellation does not reach here.
  if (auto intact = verify_installed_files(*folder, manifest->files, CancelFlag()); !intact) {
    return intact;
  }

  // Anything but "ok" (a marker torn by a crash while it was written, say) is
  // written afresh, in one step: a crash now leaves the old marker or a whole one.
  if (has_working_marker(*folder)) return {};
  return replace_file_synced(*folder / kWorkingMarkerName,
                             std::as_bytes(std::span(kWorkingContent)), *versions);
}

}  // namespace orvo::core
