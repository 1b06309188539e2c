// The worker side of a download: one GET request, its redirects decided by the
// client's policy, and its response streamed to the reader as DownloadEvents.
// It runs on the "orvo-download" thread and never sees the attempt's CancelFlag:
// a reader that goes away is noticed at the worker's next send, or at once
// while the worker waits for room in the queue.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string_view>

#include "base/error.hpp"
#include "core/net/download_client.hpp"
#include "core/net/download_queue.hpp"
#include "core/url/url.hpp"

namespace orvo::core {

struct DownloadRequest {
  Url url;
  // The request's total time limit, redirects and the whole body included, ends here.
  std::chrono::steady_clock::time_point deadline;
};

struct DownloadJob {
  DownloadRequest request;
  std::shared_ptr<const DownloadClient> client;  // keeps the client alive while the worker runs
  DownloadEventSender events;
};

// The request for url with a time limit of timeout_seconds from now; fails when
// the text is not a URL with a host.
Result<DownloadRequest> prepare_download_request(std::string_view url, std::uint64_t timeout_seconds);

// Runs the job to its end; the channel closes when it returns.
void run_download_worker(DownloadJob job);

}  // namespace orvo::core
