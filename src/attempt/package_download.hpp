// Streaming the release package into its file: one read buffer at a time is
// written and hashed, never more bytes than the signed size, then the size and
// the SHA-256 are compared with the signed ones and the file is flushed to disk
// and closed. Progress runs from 10 to 75 percent.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>

#include "base/cancel_flag.hpp"
#include "base/error.hpp"
#include "core/context/worker_message.hpp"
#include "core/net/download_body.hpp"
#include "core/net/download_client.hpp"
#include "core/release/manifest.hpp"

namespace orvo::core {

inline constexpr std::uint64_t kPackageTimeoutSeconds = 300;

// 10 + received * 65 / package_size, truncated; received is at most
// package_size, which verify_release bounds far below any overflow.
std::uint32_t download_percent(std::uint64_t received, std::uint64_t package_size);

// Creates package as a new file and fills it from the manifest's package_url.
// On failure the file may be left behind, closed, for the caller to discard.
Result<void> download_package(const std::shared_ptr<const DownloadClient>& client,
                              const Manifest& manifest, const std::filesystem::path& package,
                              WorkerSender& sender, const CancelFlag& cancel,
                              std::span<std::byte, kDownloadBufferSize> buffer);

}  // namespace orvo::core
