#include "core/net/close_notify_watch.hpp"

#include <openssl/ssl.h>

namespace orvo::core {

namespace {

// The slot of a TLS session that points to its watch; curl uses the application slot itself.
int watch_slot() {
  static const int slot = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return slot;
}

void on_tls_event(const SSL* ssl, int where, int value) {
  if (where != SSL_CB_READ_ALERT || (value & 0xFF) != SSL_AD_CLOSE_NOTIFY) return;
  if (auto* seen = static_cast<bool*>(SSL_get_ex_data(ssl, watch_slot()))) *seen = true;
}

}  // namespace

void CloseNotifyWatch::watch(CURL* easy) {
  curl_tlssessioninfo* session = nullptr;
  if (curl_easy_getinfo(easy, CURLINFO_TLS_SSL_PTR, &session) != CURLE_OK || session == nullptr ||
      session->internals == nullptr) {
    return;
  }
  tls_ = true;
  // A session that cannot be watched never shows close_notify, so its body counts as cut.
  if (session->backend != CURLSSLBACKEND_OPENSSL || watch_slot() < 0) return;
  SSL* ssl = static_cast<SSL*>(session->internals);
  if (SSL_set_ex_data(ssl, watch_slot(), &close_notify_) != 1) return;
  SSL_set_info_callback(ssl, on_tls_event);
}

}  // namespace orvo::core
