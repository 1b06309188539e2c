// Fetching the signed release envelope: the whole body in memory, refused
// before the first read when its announced length is over the limit, and on
// the read that crosses the limit when it was not announced.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "base/cancel_flag.hpp"
#include "base/error.hpp"
#include "core/net/download_body.hpp"
#include "core/net/download_client.hpp"

namespace orvo::core {

inline constexpr std::uint64_t kManifestTimeoutSeconds = 20;

// buffer is the attempt's one read buffer.
Result<std::vector<std::byte>> download_manifest(const std::shared_ptr<const DownloadClient>& client,
                                                 std::string_view url, const CancelFlag& cancel,
                                                 std::span<std::byte, kDownloadBufferSize> buffer);

}  // namespace orvo::core
