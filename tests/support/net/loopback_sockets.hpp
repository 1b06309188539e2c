// The few socket calls the loopback fixtures make, over BSD sockets or
// Winsock. A socket is an int on both: OpenSSL's SSL_set_fd takes one there
// too, and Winsock's handle values fit in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orvo::test {

// A socket listening on 127.0.0.1 at a port the system picks, which `port`
// receives; throws when there is none.
int listen_loopback(std::uint16_t& port);
// The next connection of a listening socket, with Nagle's delay off; -1 when
// accepting fails.
int accept_connection(int listen_socket);
// A plain TCP connection to 127.0.0.1:port; -1 when it fails.
int connect_loopback(std::uint16_t port);

// Sends every byte; false once the peer is gone.
bool send_all(int socket, std::string_view bytes);
// Up to `size` bytes; 0 at the end of the stream or on an error.
std::size_t receive_some(int socket, char* buffer, std::size_t size);
// Waits until `first` or `second` has bytes or has ended, and says which; -1
// when the wait fails.
int readable_of(int first, int second);

// Ends both directions, so that a call blocked on the socket returns.
void shut_down(int socket);
void close_socket(int socket);

}  // namespace orvo::test
