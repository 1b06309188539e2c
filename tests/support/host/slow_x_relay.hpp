// An X display in front of a real one that holds every message, in either
// direction, for a fixed delay before passing it on: the latency of a remote
// or overloaded display, for tests of code that waits for the X server. It is
// named in DISPLAY for this process and its children while it lives.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <thread>

namespace orvo::test {

class SlowXRelay {
 public:
  // Fails the test when the relay cannot be set up.
  SlowXRelay(const std::string& server_display, std::chrono::milliseconds delay);
  SlowXRelay(const SlowXRelay&) = delete;
  SlowXRelay& operator=(const SlowXRelay&) = delete;
  ~SlowXRelay();

  const std::string& display() const { return display_; }

 private:
  void relay(const std::string& server_socket, std::chrono::milliseconds delay);

  int number_ = -1;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::string display_;
  std::optional<std::string> previous_display_;
  std::thread thread_;
};

}  // namespace orvo::test
