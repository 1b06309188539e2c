#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

#include "support/net/loopback_sockets.hpp"

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

int listen_loopback(std::uint16_t& port) {
  // A client that goes away mid-answer must cost the server a failed write, not the process.
  ::signal(SIGPIPE, SIG_IGN);
  const int listen_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_socket < 0) throw std::runtime_error("listener: socket failed");
  sockaddr_in address = loopback_address(0);
  socklen_t length = sizeof address;
  if (::bind(listen_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listen_socket, 64) != 0 ||
      ::getsockname(listen_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(listen_socket);
    throw std::runtime_error("listener: cannot listen on 127.0.0.1");
  }
  port = ntohs(address.sin_port);
  return listen_socket;
}

int accept_connection(int listen_socket) {
  const int socket = ::accept4(listen_socket, nullptr, nullptr, SOCK_CLOEXEC);
  if (socket < 0) return -1;
  const int on = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return socket;
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

bool send_all(int socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

std::size_t receive_some(int socket, char* buffer, std::size_t size) {
  const ssize_t got = ::recv(socket, buffer, size, 0);
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

int readable_of(int first, int second) {
  pollfd waits[2] = {{first, POLLIN, 0}, {second, POLLIN, 0}};
  if (::poll(waits, 2, -1) < 0) return -1;
  return waits[0].revents != 0 ? first : second;
}

void shut_down(int socket) { ::shutdown(socket, SHUT_RDWR); }

void close_socket(int socket) { ::close(socket); }

}  // namespace orvo::test
