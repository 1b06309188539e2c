#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "support/net/loopback_sockets.hpp"

namespace orvo::test {

namespace {

// Winsock counts its users; this fixture is one for the life of the program.
void start_winsock() {
  static const bool started = [] {
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup failed");
    return true;
  }();
  (void)started;
}

SOCKET as_socket(int socket) { return static_cast<SOCKET>(socket); }

sockaddr_in loopback_address(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(port);
  address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  return address;
}

// A socket that child programs do not inherit: they would hold connections open.
SOCKET new_socket() {
  start_winsock();
  return ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                      WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

int as_int(SOCKET socket) {
  if (socket == INVALID_SOCKET) return -1;
  if (socket > static_cast<SOCKET>(std::numeric_limits<int>::max())) {
    ::closesocket(socket);
    return -1;
  }
  ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
  return static_cast<int>(socket);
}

}  // namespace

int listen_loopback(std::uint16_t& port) {
  const int listen_socket = as_int(new_socket());
  if (listen_socket < 0) throw std::runtime_error("listener: socket failed");
  sockaddr_in address = loopback_address(0);
  int length = sizeof address;
  if (::bind(as_socket(listen_socket), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(as_socket(listen_socket), 64) != 0 ||
      ::getsockname(as_socket(listen_socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::closesocket(as_socket(listen_socket));
    throw std::runtime_error("listener: cannot listen on 127.0.0.1");
  }
  port = ::ntohs(address.sin_port);
  return listen_socket;
}

int accept_connection(int listen_socket) {
  const int socket = as_int(::accept(as_socket(listen_socket), nullptr, nullptr));
  if (socket < 0) return -1;
  const BOOL on = TRUE;
  ::setsockopt(as_socket(socket), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
               sizeof on);
  return socket;
}

int connect_loopback(std::uint16_t port) {
  const int socket = as_int(new_socket());
  if (socket < 0) return -1;
  sockaddr_in address = loopback_address(port);
  if (::connect(as_socket(socket), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::closesocket(as_socket(socket));
    return -1;
  }
  return socket;
}

bool send_all(int socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const int piece = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20));
    const int sent = ::send(as_socket(socket), bytes.data(), piece, 0);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

std::size_t receive_some(int socket, char* buffer, std::size_t size) {
  const int got =
      ::recv(as_socket(socket), buffer, static_cast<int>(std::min<std::size_t>(size, 1 << 20)), 0);
  return got > 0 ? static_cast<std::size_t>(got) : 0;
}

int readable_of(int first, int second) {
  WSAPOLLFD waits[2] = {{as_socket(first), POLLRDNORM, 0}, {as_socket(second), POLLRDNORM, 0}};
  if (::WSAPoll(waits, 2, -1) == SOCKET_ERROR) return -1;
  return waits[0].revents != 0 ? first : second;
}

void shut_down(int socket) { ::shutdown(as_socket(socket), SD_BOTH); }

void close_socket(int socket) { ::closesocket(as_socket(socket)); }

}  // namespace orvo::test
