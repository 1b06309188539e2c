#include "support/net/loopback_listener.hpp"

#include "support/net/loopback_sockets.hpp"

namespace orvo::test {

LoopbackListener::LoopbackListener(Handler handler)
    : handler_(std::move(handler)), listen_socket_(listen_loopback(port_)) {
  acceptor_ = std::thread([this] { accept_loop(); });
}

LoopbackListener::~LoopbackListener() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (int socket : open_sockets_) shut_down(socket);
  }
  // A connection of its own wakes the acceptor, which then sees that the
  // listener is stopping: closing a socket under a blocked accept is not
  // defined alike on every system.
  const int wake = connect_loopback(port_);
  acceptor_.join();
  if (wake >= 0) close_socket(wake);
  for (std::thread& handler : handlers_) handler.join();
  close_socket(listen_socket_);
}

void LoopbackListener::accept_loop() {
  for (;;) {
    const int socket = accept_connection(listen_socket_);
    std::lock_guard lock(mutex_);
    if (stopping_) {
      if (socket >= 0) close_socket(socket);
      return;
    }
    if (socket < 0) continue;
    open_sockets_.insert(socket);
    handlers_.emplace_back([this, socket] { serve(socket); });
  }
}

void LoopbackListener::serve(int socket) {
  handler_(socket);
  std::lock_guard lock(mutex_);
  open_sockets_.erase(socket);
  close_socket(socket);
}

}  // namespace orvo::test
