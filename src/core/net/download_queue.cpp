#include "core/net/download_queue.hpp"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <variant>

namespace orvo::core {

namespace download_queue_detail {

struct Flow {
  // Of the chunks sent and not yet taken. Atomic, so that the worker's look
  // before each piece of body and the counting of every chunk take no lock;
  // the mutex orders only the rare wait for room against its wake-up.
  std::atomic<std::size_t> queued_bytes = 0;
  std::mutex mutex;
  std::condition_variable room;
  bool reader_gone = false;                       // guarded by mutex
  std::vector<std::vector<std::byte>> spare;      // guarded by mutex
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
  // Counted before it is queued, so the reader never takes what is not counted yet.
  if (bytes > 0) flow_->queued_bytes += bytes;
  return events_.send(std::move(event));
}

bool DownloadEventSender::full() const { return flow_->queued_bytes >= kDownloadQueueLimit; }

std::vector<std::byte> DownloadEventSender::chunk_buffer() {
  std::vector<std::byte> buffer;
  {
    std::lock_guard lock(flow_->mutex);
    if (!flow_->spare.empty()) {
      buffer = std::move(flow_->spare.back());
      flow_->spare.pop_back();
    }
  }
  buffer.clear();
  buffer.reserve(kDownloadChunkLimit);
  return buffer;
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
    const std::size_t before = flow_->queued_bytes.fetch_sub(bytes);
    // A worker waits only while the queue is above the resume level, so only
    // this step down across it can be the one it waits for. Taking the mutex
    // first means the worker is either still before its look at the count,
    // and sees the new one, or already waiting, and gets the wake-up.
    if (before > kResumeLevel && before - bytes <= kResumeLevel) {
      { std::lock_guard lock(flow_->mutex); }
      flow_->room.notify_one();
    }
  }
  return event;
}

void DownloadEventReceiver::hand_back(std::vector<std::byte> buffer) {
  if (buffer.capacity() != kDownloadChunkLimit) return;
  std::lock_guard lock(flow_->mutex);
  if (flow_->spare.size() < kSpareChunkBuffers) flow_->spare.push_back(std::move(buffer));
}

std::pair<DownloadEventSender, DownloadEventReceiver> make_download_queue() {
  auto flow = std::make_shared<download_queue_detail::Flow>();
  auto [sender, receiver] = make_channel<DownloadEvent>();
  return {DownloadEventSender(std::move(sender), flow),
          DownloadEventReceiver(std::move(receiver), flow)};
}

}  // namespace orvo::core
