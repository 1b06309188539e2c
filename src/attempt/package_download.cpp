#include "attempt/package_download.hpp"

#include <algorithm>
#include <utility>

#include "core/context/post_progress.hpp"
#include "core/release/sha256.hpp"
#include "platform/fs.hpp"

namespace orvo::core {

namespace {

constexpr std::uint64_t kFirstPercent = 10;
constexpr std::uint64_t kPercentSpan = 65;

}  // namespace

std::uint32_t download_percent(std::uint64_t received, std::uint64_t package_size) {
  const std::uint64_t capped = std::min(received, package_size);
  return static_cast<std::uint32_t>(kFirstPercent + capped * kPercentSpan / package_size);
}

Result<void> download_package(const std::shared_ptr<const DownloadClient>& client,
                              const Manifest& manifest, const std::filesystem::path& package,
                              WorkerSender& sender, const CancelFlag& cancel,
                              std::span<std::byte, kDownloadBufferSize> buffer) {
  auto file = platform::File::create_new(package);
  if (!file) return fail(std::move(file).error());
  auto body = start_download(client, manifest.package_url, kPackageTimeoutSeconds, cancel);
  if (!body) return fail(std::move(body).error().wrap("Cannot download ORVO Support"));
  if (body->expected_length && *body->expected_length != manifest.package_size) {
    return fail("Download length does not match the signed release");
  }

  Sha256 digest;
  std::uint64_t received = 0;
  std::uint32_t last_percent = 0;
  for (;;) {
    if (cancel.is_set()) return fail(cancelled_error());
    auto got = read_download_body(*body, buffer);
    if (!got) return fail(std::move(got).error().wrap("Download was interrupted"));
    if (*got == 0) break;
    if (*got > UINT64_MAX - received) return fail("Download size overflow");
    received += *got;
    if (received > manifest.package_size) return fail("Download exceeds the signed size");
    const auto bytes = std::span<const std::byte>(buffer).first(*got);
    if (auto written = file->write_all(bytes); !written) return fail(std::move(written).error());
    digest.update(bytes);
    const std::uint32_t percent = download_percent(received, manifest.package_size);
    if (percent != last_percent) {
      post_progress(sender, "Downloading ORVO Support…", ProgressMode::Determinate, percent);
      last_percent = percent;
    }
  }

  if (received != manifest.package_size) return fail("Download ended before all files arrived");
  if (digest.finish_hex() != manifest.package_sha256) {
    return fail("Downloaded package failed its integrity check");
  }
  if (auto synced = file->sync(); !synced) return fail(std::move(synced).error());
  return file->close();
}

}  // namespace orvo::core
