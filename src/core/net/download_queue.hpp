// The queue between a download worker and its reader: the events in the order
// sent, with the body bytes that wait in it kept to a bound. Once the queued
// chunks hold kDownloadQueueLimit bytes the worker takes no more body bytes (it
// pauses its transfer) until the reader has taken the queue down to half of
// that, or has gone away. DownloadLength, DownloadFinished and DownloadFailed
// are never held back.
#pragma once

#include <chrono>
#include <cstddef>
#include <expected>
#include <memory>
#include <utility>

#include "base/channel.hpp"
#include "core/net/download_event.hpp"

namespace orvo::core {

// A few MiB: a reader slower than the network costs this much memory, not the whole body.
inline constexpr std::size_t kDownloadQueueLimit = 4 * 1024 * 1024;

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
