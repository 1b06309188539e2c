// The queue between a download worker and its reader: the events in the order
// sent, with the body bytes that wait in it kept to a bound. Once the queued
// chunks hold kDownloadQueueLimit bytes the worker takes no more body bytes (it
// pauses its transfer) until the reader has taken the queue down to half of
// that, or has gone away. DownloadLength, DownloadFinished and DownloadFailed
// are never held back. The reader hands the buffers of the chunks it has used
// back, and the worker fills those again: a chunk then costs no allocation, no
// fresh pages and no cold cache lines.
#pragma once

#include <chrono>
#include <cstddef>
#include <expected>
#include <memory>
#include <utility>
#include <vector>

#include "base/channel.hpp"
#include "core/net/download_event.hpp"

namespace orvo::core {

// A few MiB: a reader slower than the network costs this much memory, not the whole body.
inline constexpr std::size_t kDownloadQueueLimit = 4 * 1024 * 1024;
// Buffers handed back and not yet filled again; more than the worker keeps in
// flight between two reads is memory for nothing.
inline constexpr std::size_t kSpareChunkBuffers = 8;

namespace download_queue_detail {
struct Flow;
}  // namespace download_queue_detail

class DownloadEventReceiver;

class DownloadEventSender {
 public:
  enum class Wait { Room, ReaderGone, TimedOut };

  // False once the reader is gone; the event is then dropped. Never blocks.
  bool send(DownloadEvent event);
  // Whether the queued chunks have reached the limit.
  bool full() const;
  // Waits at most `limit` until the reader has taken the queue down to half
  // the limit, or has gone away.
  Wait wait_for_room(std::chrono::milliseconds limit);
  // An empty buffer for the next chunk, with room for kDownloadChunkLimit
  // bytes: one the reader handed back if there is one, else a new one.
  std::vector<std::byte> chunk_buffer();

 private:
  friend std::pair<DownloadEventSender, DownloadEventReceiver> make_download_queue();
  DownloadEventSender(Sender<DownloadEvent> events,
                      std::shared_ptr<download_queue_detail::Flow> flow);

  Sender<DownloadEvent> events_;
  std::shared_ptr<download_queue_detail::Flow> flow_;
};

class DownloadEventReceiver {
 public:
  DownloadEventReceiver(DownloadEventReceiver&& other) noexcept = default;
  DownloadEventReceiver& operator=(DownloadEventReceiver&& other) noexcept;
  // Tells a worker that waits for room that nobody reads any more.
  ~DownloadEventReceiver();

  // Waits until an event arrives, the queue closes (the worker is gone and
  // every event taken) or the deadline passes.
  std::expected<DownloadEvent, ReceiveError> receive_until(
      std::chrono::steady_clock::time_point deadline);
  // Offers the buffer of a chunk that has been used up to the worker; only
  // buffers of a whole chunk's size are kept, at most kSpareChunkBuffers.
  void hand_back(std::vector<std::byte> buffer);

 private:
  friend std::pair<DownloadEventSender, DownloadEventReceiver> make_download_queue();
  DownloadEventReceiver(Receiver<DownloadEvent> events,
                        std::shared_ptr<download_queue_detail::Flow> flow);
  void let_go();

  Receiver<DownloadEvent> events_;
  std::shared_ptr<download_queue_detail::Flow> flow_;
};

std::pair<DownloadEventSender, DownloadEventReceiver> make_download_queue();

}  // namespace orvo::core
