#include "support/host/slow_x_relay.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <list>
#include <vector>

namespace orvo::test {
namespace {

using Clock = std::chrono::steady_clock;

std::string socket_path(int number) { return "/tmp/.X11-unix/X" + std::to_string(number); }
std::string lock_path(int number) { return "/tmp/.X" + std::to_string(number) + "-lock"; }

sockaddr_un unix_address(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  return address;
}

// Claims a display number as X servers do, with its lock file, so that no
// server started meanwhile takes it.
int claim_display_number() {
  for (int number = 200; number < 1000; ++number) {
    const int fd = ::open(lock_path(number).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0444);
    if (fd < 0) continue;
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(::getpid()));
    const bool written = ::write(fd, text, static_cast<std::size_t>(length)) == length;
    ::close(fd);
    if (written) return number;
    ::unlink(lock_path(number).c_str());
  }
  return -1;
}

// Bytes read from one side, due at the other after the delay.
struct Held {
  Clock::time_point due;
  std::vector<char> bytes;
};

// One client's connection and the one made for it to the server; [0] is the
// client's side.
struct Pair {
  int fd[2] = {-1, -1};
  std::deque<Held> towards[2];  // towards[i]: bytes to write to fd[i]
  ~Pair() {
    for (const int f : fd) {
      if (f >= 0) ::close(f);
    }
  }
};

bool write_all(int fd, const std::vector<char>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

int connect_to(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const sockaddr_un address = unix_address(path);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

SlowXRelay::SlowXRelay(const std::string& server_display, std::chrono::milliseconds delay) {
  if (server_display.size() < 2 || server_display[0] != ':') {
    ADD_FAILURE() << "not a local display: " << server_display;
    return;
  }
  const std::string server_socket = socket_path(std::atoi(server_display.c_str() + 1));
  number_ = claim_display_number();
  if (number_ < 0) {
    ADD_FAILURE() << "no free display number";
    return;
  }
  // A socket left by a process that held the number before is stale.
  ::unlink(socket_path(number_).c_str());
  listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_un address = unix_address(socket_path(number_));
  if (listener_ < 0 ||
      ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 16) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "cannot listen on " << socket_path(number_) << ": " << std::strerror(errno);
    return;
  }
  display_ = ":" + std::to_string(number_);
  if (const char* previous = std::getenv("DISPLAY")) previous_display_ = previous;
  ::setenv("DISPLAY", display_.c_str(), 1);
  thread_ = std::thread([this, server_socket, delay] { relay(server_socket, delay); });
}

SlowXRelay::~SlowXRelay() {
  if (thread_.joinable()) {
    const char stop = 0;
    (void)!::write(wake_[1], &stop, 1);
    thread_.join();
  }
  for (const int fd : {listener_, wake_[0], wake_[1]}) {
    if (fd >= 0) ::close(fd);
  }
  if (number_ >= 0) {
    ::unlink(socket_path(number_).c_str());
    ::unlink(lock_path(number_).c_str());
  }
  if (display_.empty()) return;
  if (previous_display_) {
    ::setenv("DISPLAY", previous_display_->c_str(), 1);
  } else {
    ::unsetenv("DISPLAY");
  }
}

void SlowXRelay::relay(const std::string& server_socket, std::chrono::milliseconds delay) {
  std::list<Pair> pairs;
  for (;;) {
    // Poll: the wake pipe, the listener, then both sides of every pair.
    std::vector<pollfd> fds = {{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
    std::optional<Clock::time_point> next_due;
    for (const Pair& pair : pairs) {
      for (int side = 0; side < 2; ++side) {
        fds.push_back({pair.fd[side], POLLIN, 0});
        if (!pair.towards[side].empty() &&
            (!next_due || pair.towards[side].front().due < *next_due)) {
          next_due = pair.towards[side].front().due;
        }
      }
    }
    int timeout = -1;
    if (next_due) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next_due - Clock::now());
      timeout = static_cast<int>(std::max<long long>(left.count(), 0));
    }
    if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) return;
    if (fds[0].revents != 0) return;
    if ((fds[1].revents & POLLIN) != 0) {
      const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client >= 0) {
        Pair& pair = pairs.emplace_back();
        pair.fd[0] = client;
        pair.fd[1] = connect_to(server_socket);
        if (pair.fd[1] < 0) pairs.pop_back();
      }
    }
    std::size_t index = 2;
    const Clock::time_point now = Clock::now();
    for (auto pair = pairs.begin(); pair != pairs.end();) {
      bool open = true;
      for (int side = 0; side < 2; ++side, ++index) {
        if (index >= fds.size() || fds[index].fd != pair->fd[side] || fds[index].revents == 0) {
          continue;
        }
        std::vector<char> bytes(65536);
        const ssize_t n = ::read(pair->fd[side], bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
          open = false;
          continue;
        }
        bytes.resize(static_cast<std::size_t>(n));
        pair->towards[1 - side].push_back({now + delay, std::move(bytes)});
      }
      for (int side = 0; side < 2 && open; ++side) {
        std::deque<Held>& queue = pair->towards[side];
        while (!queue.empty() && queue.front().due <= Clock::now()) {
          if (!write_all(pair->fd[side], queue.front().bytes)) open = false;
          queue.pop_front();
        }
      }
      pair = open ? std::next(pair) : pairs.erase(pair);
    }
  }
}

}  // namespace orvo::test
