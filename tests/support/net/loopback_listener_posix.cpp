#include "support/net/loopback_listener.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace orvo::test {

namespace {

sockaddr_in loopback_address(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

}  // namespace

LoopbackListener::LoopbackListener(Handler handler) : handler_(std::move(handler)) {
  // A client that goes away mid-answer must cost the server a failed write, not the process.
  ::signal(SIGPIPE, SIG_IGN);
  listen_socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_socket_ < 0) throw std::runtime_error("listener: socket failed");
  sockaddr_in address = loopback_address(0);
  socklen_t length = sizeof address;
  if (::bind(listen_socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listen_socket_, 64) != 0 ||
      ::getsockname(listen_socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      ::pipe2(wake_pipe_, O_CLOEXEC) != 0) {
    ::close(listen_socket_);
    throw std::runtime_error("listener: cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { accept_loop(); });
}

LoopbackListener::~LoopbackListener() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (int socket : open_sockets_) ::shutdown(socket, SHUT_RDWR);
  }
  const char wake = 0;
  (void)!::write(wake_pipe_[1], &wake, 1);
  acceptor_.join();
  for (std::thread& handler : handlers_) handler.join();
  ::close(listen_socket_);
  ::close(wake_pipe_[0]);
  ::close(wake_pipe_[1]);
}

void LoopbackListener::accept_loop() {
  for (;;) {
    pollfd waits[2] = {{listen_socket_, POLLIN, 0}, {wake_pipe_[0], POLLIN, 0}};
    if (::poll(waits, 2, -1) < 0) continue;
    if (waits[1].revents != 0) return;
    const int socket = ::accept4(listen_socket_, nullptr, nullptr, SOCK_CLOEXEC);
    if (socket < 0) continue;
    const int on = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    std::lock_guard lock(mutex_);
    if (stopping_) {
      ::close(socket);
      return;
    }
    open_sockets_.insert(socket);
    handlers_.emplace_back([this, socket] { serve(socket); });
  }
}

void LoopbackListener::serve(int socket) {
  handler_(socket);
  std::lock_guard lock(mutex_);
  open_sockets_.erase(socket);
  ::close(socket);
}

int connect_loopback(std::uint16_t port) {
  const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket < 0) return -1;
  sockaddr_in address = loopback_address(port);
  if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(socket);
    return -1;
  }
  return socket;
}

}  // namespace orvo::test
