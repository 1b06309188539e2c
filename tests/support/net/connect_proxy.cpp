#include "support/net/connect_proxy.hpp"

#include <charconv>

#include "support/net/loopback_sockets.hpp"

namespace orvo::test {

namespace {

constexpr std::string_view kLoopbackPrefix = "127.0.0.1:";

// The port of a "127.0.0.1:<port>" authority; 0 for anything else.
std::uint16_t loopback_port(std::string_view authority) {
  if (!authority.starts_with(kLoopbackPrefix)) return 0;
  authority.remove_prefix(kLoopbackPrefix.size());
  std::uint16_t port = 0;
  const auto [end, error] = std::from_chars(authority.data(), authority.data() + authority.size(), port);
  return error == std::errc() && end == authority.data() + authority.size() ? port : 0;
}

// Copies bytes both ways until either side ends.
void tunnel(int client, int upstream, std::string_view early_bytes) {
  if (!send_all(upstream, early_bytes)) return;
  char buffer[64 * 1024];
  for (;;) {
    const int from = readable_of(client, upstream);
    if (from < 0) return;
    const std::size_t got = receive_some(from, buffer, sizeof buffer);
    if (got == 0) return;
    if (!send_all(from == client ? upstream : client, std::string_view(buffer, got))) return;
  }
}

}  // namespace

ConnectProxy::ConnectProxy()
    : listener_(std::make_unique<LoopbackListener>([this](int socket) { serve(socket); })) {}

ConnectProxy::~ConnectProxy() { listener_.reset(); }

std::string ConnectProxy::url() const { return "http://127.0.0.1:" + std::to_string(listener_->port()); }

std::vector<RecordedRequest> ConnectProxy::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

void ConnectProxy::serve(int socket) {
  RequestHeadReader reader(
      [&](char* buffer, std::size_t size) { return receive_some(socket, buffer, size); });
  std::optional<RecordedRequest> request = reader.next();
  if (!request) return;
  const bool is_connect = request->line.starts_with("CONNECT ");
  const std::uint16_t port = is_connect ? loopback_port(request->target()) : 0;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(std::move(*request));
  }
  const int upstream = port != 0 ? connect_loopback(port) : -1;
  if (upstream < 0) {
    send_all(socket, "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    return;
  }
  if (send_all(socket, "HTTP/1.1 200 Connection established\r\n\r\n")) {
    tunnel(socket, upstream, reader.take_pending());
  }
  close_socket(upstream);
}

}  // namespace orvo::test
