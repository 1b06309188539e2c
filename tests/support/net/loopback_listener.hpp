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
  std::uint16_t port_ = 0;
  int listen_socket_ = -1;

  std::mutex mutex_;
  bool stopping_ = false;
  std::set<int> open_sockets_;
  std::vector<std::thread> handlers_;
  std::thread acceptor_;
};

}  // namespace orvo::test
