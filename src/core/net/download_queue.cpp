#include "core/net/download_queue.hpp"

#include <condition_variable>
#include <mutex>
#include <variant>

namespace orvo::core {

namespace download_queue_detail {

struct Flow {
  std::mutex mutex;
  std::condition_variable room;
  std::size_t queued_bytes = 0;  // of the chunks sent and not yet taken
  bool reader_gone = false;
};

}  // namespace download_queue_detail

namespace {

// Resuming only once half the queue is free spares the worker a pause per chunk.
constexpr std::size_t kResumeLevel = kDownloadQueueLimit / 2;

std::size_t chunk_bytes(const DownloadEvent& event) {
  const DownloadChunk* chunk = std::get_if<DownloadChunk>(&event);
  return chunk == nullptr ? 0 : chunk->bytes.size();
}

}  // namespace

DownloadEventSender::DownloadEventSender(Sender<DownloadEvent> events,
                                         std::shared_ptr<download_queue_detail::Flow> flow)
    : events_(std::move(events)), flow_(std::move(flow)) {}

bool DownloadEventSender::send(DownloadEvent event) {
  const std::size_t bytes = chunk_bytes(event);
  if (bytes > 0) {
    // Counted before it is queued, so the reader never takes what is not counted yet.
    std::lock_guard lock(flow_->mutex);
    flow_->queued_bytes += bytes;
  }
  return events_.send(std::move(event));
}

bool DownloadEventSender::full() const {
  std::lock_guard lock(flow_->mutex);
  return flow_->queued_bytes >= kDownloadQueueLimit;
}

DownloadEventSender::Wait DownloadEventSender::wait_for_room(std::chrono::milliseconds limit) {
  std::unique_lock lock(flow_->mutex);
  const bool woken = flow_->room.wait_for(
      lock, limit, [&] { return flow_->reader_gone || flow_->queued_bytes <= kResumeLevel; });
  if (!woken) return Wait::TimedOut;
  return flow_->reader_gone ? Wait::ReaderGone : Wait::Room;
}

DownloadEventReceiver::DownloadEventReceiver(Receiver<DownloadEvent> events,
                                             std::shared_ptr<download_queue_detail::Flow> flow)
    : events_(std::move(events)), flow_(std::move(flow)) {}

DownloadEventReceiver& DownloadEventReceiver::operator=(DownloadEventReceiver&& other) noexcept {
  if (this != &other) {
    let_go();
    events_ = std::move(other.events_);
    flow_ = std::move(other.flow_);
  }
  return *this;
}

DownloadEventReceiver::~DownloadEventReceiver() { let_go(); }

void DownloadEventReceiver::let_go() {
  if (!flow_) return;
  {
    std::lock_guard lock(flow_->mutex);
    flow_->reader_gone = true;
  }
  flow_->room.notify_all();
}

std::expected<DownloadEvent, ReceiveError> DownloadEventReceiver::receive_until(
    std::chrono::steady_clock::time_point deadline) {
  std::expected<DownloadEvent, ReceiveError> event = events_.receive_until(deadline);
  if (!event) return event;
  if (const std::size_t bytes = chunk_bytes(*event); bytes > 0) {
    bool roomy = false;
    {
      std::lock_guard lock(flow_->mutex);
      flow_->queued_bytes -= bytes;
      roomy = flow_->queued_bytes <= kResumeLevel;
    }
    if (roomy) flow_->room.notify_one();
  }
  return event;
}

std::pair<DownloadEventSender, DownloadEventReceiver> make_download_queue() {
  auto flow = std::make_shared<download_queue_detail::Flow>();
  auto [sender, receiver] = make_channel<DownloadEvent>();
  return {DownloadEventSender(std::move(sender), flow),
          DownloadEventReceiver(std::move(receiver), flow)};
}

}  // namespace orvo::core
