#include "attempt/manifest_download.hpp"

#include <utility>

#include "core/release/verify_release.hpp"

namespace orvo::core {

Result<std::vector<std::byte>> download_manifest(const std::shared_ptr<const DownloadClient>& client,
                                                 std::string_view url, const CancelFlag& cancel,
                                                 std::span<std::byte, kDownloadBufferSize> buffer) {
  auto body = start_download(client, url, kManifestTimeoutSeconds, cancel);
  if (!body) return fail(std::move(body).error().wrap("Cannot reach the ORVO download server"));
  if (body->expected_length && *body->expected_length > kMaxEnvelopeBytes) {
    return fail("Release manifest is too large");
  }
  std::vector<std::byte> bytes;
  std::uint64_t total = 0;
  for (;;) {
    if (cancel.is_set()) return fail(cancelled_error());
    auto got = read_download_body(*body, buffer);
    if (!got) return fail(std::move(got).error());
    if (*got == 0) return bytes;
    if (*got > UINT64_MAX - total) return fail("Read size overflow");
    total += *got;
    if (total > kMaxEnvelopeBytes) return fail("Input exceeds the allowed size");
    bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(*got));
  }
}

}  // namespace orvo::core
