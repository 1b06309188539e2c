// An HTTP proxy on 127.0.0.1 that understands only CONNECT: it records each
// CONNECT request and tunnels the connection to the asked port of 127.0.0.1.
// Any other target (another host, another method) gets 403 and is not reached.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/net/loopback_listener.hpp"
#include "support/net/request_head.hpp"

namespace orvo::test {

class ConnectProxy {
 public:
  ConnectProxy();
  ConnectProxy(const ConnectProxy&) = delete;
  ConnectProxy& operator=(const ConnectProxy&) = delete;
  ~ConnectProxy();

  // "http://127.0.0.1:<port>", the form the proxy variables take.
  std::string url() const;
  // Every request head the proxy received, in order of arrival.
  std::vector<RecordedRequest> requests() const;

 private:
  void serve(int socket);

  mutable std::mutex mutex_;
  std::vector<RecordedRequest> requests_;
  // Last, so that its handlers are gone before anything they use.
  std::unique_ptr<LoopbackListener> listener_;
};

}  // namespace orvo::test
