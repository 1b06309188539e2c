#include "attempt/release_update.hpp"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "attempt/manifest_download.hpp"
#include "attempt/package_download.hpp"
#include "core/cache/installed_files.hpp"
#include "core/cache/launcher_files.hpp"
#include "core/cache/plain_files.hpp"
#include "core/cache/staging_folder.hpp"
#include "core/cache/version_folder_name.hpp"
#include "core/context/post_progress.hpp"
#include "core/net/download_body.hpp"
#include "core/package/package_extraction.hpp"
#include "core/release/verify_release.hpp"
#include "core/url/download_url_policy.hpp"
#include "platform/fs.hpp"

namespace orvo::core {

namespace {

using ReadBuffer = std::array<std::byte, kDownloadBufferSize>;

Result<void> refuse_downgrade_and_reuse(std::span<const InstalledVersion> installed,
                                        const Manifest& offered) {
  const auto newest = std::ranges::max_element(
      installed, {}, [](const InstalledVersion& v) { return v.manifest.sequence; });
  if (newest != installed.end() && newest->manifest.sequence > offered.sequence) {
    return fail("The server offered an older release; refusing to downgrade");
  }
  for (const InstalledVersion& version : installed) {
    if (version.manifest.sequence == offered.sequence && !same_release(version.manifest, offered)) {
      return fail("The release sequence was reused for different contents");
    }
  }
  return {};
}

// The first installed copy of the offered release whose files are intact; a
// damaged copy is passed over silently and left as it is.
Result<std::optional<LaunchCandidate>> find_intact_copy(std::span<const InstalledVersion> installed,
                                                        const Manifest& offered,
                                                        WorkerSender& sender,
                                                        const CancelFlag& cancel) {
  for (const InstalledVersion& version : installed) {
    if (!same_release(version.manifest, offered)) continue;
    post_progress(sender, "Checking your installed files…", ProgressMode::Determinate, 10);
    if (verify_installed_files(version.folder, offered.files, cancel)) {
      return launch_candidate_for(version, true);
    }
    if (cancel.is_set()) return fail(cancelled_error());
  }
  return std::nullopt;
}

Result<LaunchCandidate> install_release(const PreparationContext& context,
                                        const std::shared_ptr<const DownloadClient>& client,
                                        const Manifest& manifest,
                                        std::span<const std::byte> envelope, WorkerSender& sender,
                                        const CancelFlag& cancel, ReadBuffer& buffer) {
  post_progress(sender, "Downloading ORVO Support…", ProgressMode::Determinate, 10);
  auto staging = StagingFolder::create(context.cache_root);
  if (!staging) {
    return fail(std::move(staging).error().wrap("Cannot create the temporary installation folder"));
  }
  if (auto downloaded = download_package(client, manifest, staging->package(), sender, cancel, buffer);
      !downloaded) {
    return fail(std::move(downloaded).error());
  }

  if (cancel.is_set()) return fail(cancelled_error());
  post_progress(sender, "Preparing your support app…", ProgressMode::Determinate, 80);
  const std::filesystem::path content = staging->content();
  if (auto made = platform::create_folder(content); !made) return fail(std::move(made).error());
  if (auto extracted = extract_package(staging->package(), content, manifest.files, cancel);
      !extracted) {
    return fail(std::move(extracted).error());
  }
  if (auto written = write_file_synced(content / kManifestFileName, envelope); !written) {
    return fail(std::move(written).error());
  }
  if (auto intact = verify_installed_files(content, manifest.files, cancel); !intact) {
    return fail(std::move(intact).error());
  }
  if (cancel.is_set()) return fail(cancelled_error());

  auto id = draw_installation_id();
  if (!id) return fail(std::move(id).error());
  const std::filesystem::path folder =
      versions_folder_of(context.cache_root) /
      version_folder_name(manifest.sequence, manifest.package_sha256, *id);
  if (auto moved = platform::rename_no_replace(content, folder); !moved) {
    return fail(std::move(moved).error().wrap("Cannot activate the downloaded files"));
  }
  post_progress(sender, "ORVO Support is ready…", ProgressMode::Determinate, 100);
  return launch_candidate_for(InstalledVersion{.folder = folder, .manifest = manifest}, false);
}

}  // namespace

Result<LaunchCandidate> update_release(const PreparationContext& context,
                                       const DownloadClientSettings& client_settings,
                                       WorkerSender& sender, const CancelFlag& cancel) {
  if (auto url = validate_download_url(context.manifest_url, context.allow_loopback_http); !url) {
    return fail(std::move(url).error());
  }
  post_progress(sender, "Checking for ORVO updates…", ProgressMode::Marquee, 0);
  auto client = build_download_client(client_settings);
  if (!client) return fail(std::move(client).error());

  // One buffer serves every read of the attempt, the manifest's and the package's.
  const auto buffer = std::make_unique<ReadBuffer>();
  auto envelope = download_manifest(*client, context.manifest_url, cancel, *buffer);
  if (!envelope) return fail(std::move(envelope).error());
  auto manifest = verify_release(*envelope, context.release_key, context.allow_loopback_http);
  if (!manifest) return fail(std::move(manifest).error());
  auto installed = list_installed_versions(context);
  if (!installed) return fail(std::move(installed).error());

  if (auto allowed = refuse_downgrade_and_reuse(*installed, *manifest); !allowed) {
    return fail(std::move(allowed).error());
  }
  auto intact = find_intact_copy(*installed, *manifest, sender, cancel);
  if (!intact) return fail(std::move(intact).error());
  if (*intact) return std::move(**intact);
  return install_release(context, *client, *manifest, *envelope, sender, cancel, *buffer);
}

}  // namespace orvo::core
