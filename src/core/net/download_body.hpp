// The reader side of a download, on the preparation thread: start_download
// hands the request to an "orvo-download" worker and returns once the response
// head has passed the status check; read_download_body then hands out the body
// in the worker's chunks. Every wait for the worker is cut into 100 ms slices
// between which the attempt's CancelFlag is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/cancel_flag.hpp"
#include "base/error.hpp"
#include "core/net/download_client.hpp"
#include "core/net/download_event.hpp"
#include "core/net/download_queue.hpp"

namespace orvo::core {

// The size of the callers' read buffers.
inline constexpr std::size_t kDownloadBufferSize = 64 * 1024;

// One response as the preparation thread sees it; never shared. Dropping it
// cuts the worker off at its next send.
struct DownloadBody {
  std::optional<std::uint64_t> expected_length;  // what DownloadLength said
  DownloadEventReceiver events;
  std::vector<std::byte> chunk;  // the last chunk taken
  CancelFlag cancel;
  std::size_t position = 0;  // next byte of chunk to hand out; never beyond its size
  bool finished = false;     // DownloadFinished has been taken
};

// Starts a GET of url with a total time limit of timeout_seconds and waits for
// its head. Errors: the client's when the request cannot be built; "Cannot
// start the download worker" wrapping the system's error; the text of a
// DownloadFailed; "Invalid download response"; the I/O errors of
// next_download_event.
Result<DownloadBody> start_download(const std::shared_ptr<const DownloadClient>& client,
                                    std::string_view url, std::uint64_t timeout_seconds,
                                    CancelFlag cancel);

// start_download's wait for the first event, on a channel a worker feeds.
Result<DownloadBody> await_download_head(DownloadEventReceiver events, CancelFlag cancel);

// The next event; an I/O error of kind Interrupted "Preparation cancelled" once
// the flag is set, or UnexpectedEof "Download worker stopped" once the channel
// has closed with every event taken.
Result<DownloadEvent> next_download_event(DownloadBody& body);

// Places the next body bytes at the start of buffer and returns their count;
// 0 means the end of the body and, from then on, returns at once. Errors are
// I/O errors: those of next_download_event, or of kind Other with a
// DownloadFailed text or "Unexpected download headers".
Result<std::size_t> read_download_body(DownloadBody& body,
                                       std::span<std::byte, kDownloadBufferSize> buffer);

}  // namespace orvo::core
