// Whether the server ended a TLS connection with close_notify. A body that
// ends where the connection ends (no length, no chunking) is complete only
// then: curl takes any end of the connection for the end of such a body, and
// without close_notify a cut connection looks just like a finished one.
#pragma once

#include <curl/curl.h>

namespace orvo::core {

class CloseNotifyWatch {
 public:
  CloseNotifyWatch() = default;
  // The TLS layer keeps a pointer to the watch.
  CloseNotifyWatch(const CloseNotifyWatch&) = delete;
  CloseNotifyWatch& operator=(const CloseNotifyWatch&) = delete;

  // Watches the TLS session of the handle's connection to the server, if it
  // has one; the watch must outlive that connection.
  void watch(CURL* easy);
  // A TLS connection ended without close_notify (so far).
  bool cut() const { return tls_ && !close_notify_; }

 private:
  bool tls_ = false;
  bool close_notify_ = false;
};

}  // namespace orvo::core
