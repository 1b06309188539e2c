#include "core/net/download_body.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

#include "core/net/download_worker.hpp"
#include "platform/thread.hpp"

namespace orvo::core {

namespace {

constexpr std::chrono::milliseconds kWaitSlice{100};

// So that every chunk of a worker goes out in one read.
static_assert(kDownloadBufferSize >= kDownloadChunkLimit);

template <class... Handlers>
struct Overloaded : Handlers... {
  using Handlers::operator()...;
};

}  // namespace

Result<DownloadBody> start_download(const std::shared_ptr<const DownloadClient>& client,
                                    std::string_view url, std::uint64_t timeout_seconds,
                                    CancelFlag cancel) {
  Result<DownloadRequest> request = prepare_download_request(url, timeout_seconds);
  if (!request) return fail(std::move(request).error());
  auto [sender, receiver] = make_download_queue();
  DownloadJob job{std::move(*request), client, std::move(sender)};
  Result<void> started = platform::start_detached_thread(
      [job = std::move(job)]() mutable { run_download_worker(std::move(job)); }, "orvo-download");
  if (!started) return fail(std::move(started).error().wrap("Cannot start the download worker"));
  return await_download_head(std::move(receiver), std::move(cancel));
}

Result<DownloadBody> await_download_head(DownloadEventReceiver events, CancelFlag cancel) {
  DownloadBody body{.expected_length = std::nullopt,
                    .events = std::move(events),
                    .chunk = {},
                    .cancel = std::move(cancel)};
  Result<DownloadEvent> first = next_download_event(body);
  if (!first) return fail(std::move(first).error());
  return std::visit(
      Overloaded{
          [&](DownloadLength& length) -> Result<DownloadBody> {
            body.expected_length = length.length;
            return std::move(body);
          },
          [](DownloadFailed& failed) -> Result<DownloadBody> { return fail(std::move(failed.text)); },
          [](auto&) -> Result<DownloadBody> { return fail("Invalid download response"); },
      },
      *first);
}

Result<DownloadEvent> next_download_event(DownloadBody& body) {
  for (;;) {
    if (body.cancel.is_set()) return fail(cancelled_read_error());
    auto event = body.events.receive_until(std::chrono::steady_clock::now() + kWaitSlice);
    if (event) return std::move(*event);
    if (event.error() == ReceiveError::Closed) {
      return fail(Error::io(IoKind::UnexpectedEof, "Download worker stopped"));
    }
  }
}

Result<std::size_t> read_download_body(DownloadBody& body,
                                       std::span<std::byte, kDownloadBufferSize> buffer) {
  // An empty chunk never comes from the worker; skipping it keeps 0 meaning the end.
  while (!body.finished && body.position == body.chunk.size()) {
    Result<DownloadEvent> event = next_download_event(body);
    if (!event) return fail(std::move(event).error());
    Result<void> taken = std::visit(
        Overloaded{
            [&](DownloadChunk& chunk) -> Result<void> {
              body.events.hand_back(std::exchange(body.chunk, std::move(chunk.bytes)));
              body.position = 0;
              return {};
            },
            [&](DownloadFinished&) -> Result<void> {
              body.finished = true;
              return {};
            },
            [](DownloadFailed& failed) -> Result<void> {
              return fail(Error::io(IoKind::Other, std::move(failed.text)));
            },
            [](DownloadLength&) -> Result<void> {
              return fail(Error::io(IoKind::Other, "Unexpected download headers"));
            },
        },
        *event);
    if (!taken) return fail(std::move(taken).error());
  }
  if (body.finished) return 0;
  const std::size_t count = std::min(body.chunk.size() - body.position, buffer.size());
  std::memcpy(buffer.data(), body.chunk.data() + body.position, count);
  body.position += count;
  return count;
}

}  // namespace orvo::core
