// An unbounded multi-producer, single-consumer channel. Sending never blocks
// and fails only once the receiving end is gone; the receiver tells a message,
// "nothing yet" and "closed" (every sender gone and the queue drained) apart.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <expected>
#include <memory>
#include <mutex>
#include <utility>

namespace orvo::core {

enum class ReceiveError { Empty, Closed };

namespace channel_detail {

template <class T>
struct State {
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<T> queue;
  std::size_t senders = 0;
  bool receiver_alive = true;
};

}  // namespace channel_detail

template <class T>
class Receiver;

template <class T>
class Sender {
 public:
  Sender(const Sender& other) : state_(other.state_) { attach(); }
  Sender(Sender&& other) noexcept = default;
  Sender& operator=(const Sender& other) {
    if (this != &other) {
      detach();
      state_ = other.state_;
      attach();
    }
    return *this;
  }
  Sender& operator=(Sender&& other) noexcept {
    if (this != &other) {
      detach();
      state_ = std::move(other.state_);
    }
    return *this;
  }
  ~Sender() { detach(); }

  // False when the receiver is gone; the value is then dropped.
  bool send(T value) {
    {
      std::lock_guard lock(state_->mutex);
      if (!state_->receiver_alive) return false;
      state_->queue.push_back(std::move(value));
    }
    // Woken outside the lock, the receiver does not have to wait for it again.
    state_->arrived.notify_one();
    return true;
  }

 private:
  template <class U>
  friend std::pair<Sender<U>, Receiver<U>> make_channel();

  explicit Sender(std::shared_ptr<channel_detail::State<T>> state) : state_(std::move(state)) {
    attach();
  }
  void attach() {
    std::lock_guard lock(state_->mutex);
    ++state_->senders;
  }
  void detach() {
    if (!state_) return;
    std::lock_guard lock(state_->mutex);
    if (--state_->senders == 0) state_->arrived.notify_all();
  }

  std::shared_ptr<channel_detail::State<T>> state_;
};

template <class T>
class Receiver {
 public:
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;
  Receiver(Receiver&&) noexcept = default;
  Receiver& operator=(Receiver&& other) noexcept {
    if (this != &other) {
      close();
      state_ = std::move(other.state_);
    }
    return *this;
  }
  ~Receiver() { close(); }

  std::expected<T, ReceiveError> try_receive() {
    std::unique_lock lock(state_->mutex);
    return take(lock);
  }

  // Waits until a message arrives, the channel closes or the deadline passes.
  std::expected<T, ReceiveError> receive_until(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(state_->mutex);
    state_->arrived.wait_until(lock, deadline,
                               [&] { return !state_->queue.empty() || state_->senders == 0; });
    return take(lock);
  }

 private:
  template <class U>
  friend std::pair<Sender<U>, Receiver<U>> make_channel();

  explicit Receiver(std::shared_ptr<channel_detail::State<T>> state) : state_(std::move(state)) {}

  std::expected<T, ReceiveError> take(std::unique_lock<std::mutex>&) {
    if (!state_->queue.empty()) {
      T value = std::move(state_->queue.front());
      state_->queue.pop_front();
      return value;
    }
    return std::unexpected(state_->senders == 0 ? ReceiveError::Closed : ReceiveError::Empty);
  }

  // Queued values are released here, on the receiver's side.
  void close() {
    if (!state_) return;
    std::deque<T> dropped;
    {
      std::lock_guard lock(state_->mutex);
      state_->receiver_alive = false;
      dropped.swap(state_->queue);
    }
  }

  std::shared_ptr<channel_detail::State<T>> state_;
};

template <class T>
std::pair<Sender<T>, Receiver<T>> make_channel() {
  auto state = std::make_shared<channel_detail::State<T>>();
  return {Sender<T>(state), Receiver<T>(state)};
}

}  // namespace orvo::core
