// A TCP listener on 127.0.0.1 with a port the system picks. Each accepted
// connection is handled on a thread of its own; going away stops accepting,
// cuts every open connection and waits for all handlers to return.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace orvo::test {

class LoopbackListener {
 public:
  // Handles one connection; the listener closes the socket when it returns.
  using Handler = std::function<void(int socket)>;

  explicit LoopbackListener(Handler handler);
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;
  ~LoopbackListener();

  std::uint16_t port() const { return port_; }

 private:
  void accept_loop();
  void serve(int socket);

  Handler handler_;
  int listen_socket_ = -1;
  int wake_pipe_[2] = {-1, -1};
  std::uint16_t port_ = 0;

  std::mutex mutex_;
  bool stopping_ = false;
  std::set<int> open_sockets_;
  std::vector<std::thread> handlers_;
  std::thread acceptor_;
};

// A plain TCP connection to 127.0.0.1:port; -1 when it fails.
int connect_loopback(std::uint16_t port);

}  // namespace orvo::test
