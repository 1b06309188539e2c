// What a download worker tells the reader of its response, in this order:
// DownloadLength once, any number of DownloadChunks, then DownloadFinished or
// DownloadFailed; or only DownloadFailed when no usable response head came.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace orvo::core {

// The most body bytes that one DownloadChunk carries.
inline constexpr std::size_t kDownloadChunkLimit = 64 * 1024;

struct DownloadLength {
  // The body length when the response head fixes it exactly; nullopt otherwise
  // (chunked transfer coding, a body delimited by the connection's end).
  std::optional<std::uint64_t> length;
};

struct DownloadChunk {
  std::vector<std::byte> bytes;  // 1 to kDownloadChunkLimit bytes, in body order
};

struct DownloadFinished {};

struct DownloadFailed {
  std::string text;  // the whole error chain on one line
};

using DownloadEvent = std::variant<DownloadLength, DownloadChunk, DownloadFinished, DownloadFailed>;

}  // namespace orvo::core
