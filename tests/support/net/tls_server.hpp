// A scriptable HTTPS/1.1 server on 127.0.0.1 for the download tests and
// benchmarks. Its certificate is issued at construction by a test authority of
// its own (ca_pem); each path answers as the test scripted it, and every
// request head is recorded so a test can check what the client sent.
#pragma once

#include <openssl/ssl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "support/net/loopback_listener.hpp"
#include "support/net/request_head.hpp"

namespace orvo::test {

// How the body of an answer is delimited.
enum class Framing {
  Length,   // Content-Length (the body's size unless content_length says otherwise)
  Chunked,  // Transfer-Encoding: chunked, one chunk per piece
  Close,    // Connection: close; the body ends when the server closes
  None,     // no framing header at all (for answers without a body, such as 304)
};

// How an answer ends after its pieces.
enum class Ending {
  Complete,  // the body is finished properly; Length and Chunked keep the connection
  Cut,       // the connection is dropped without TLS close_notify
  Stall,     // nothing more is sent until the server goes away
};

struct Answer {
  int status = 200;
  std::string reason = "OK";
  std::vector<HeaderField> headers;
  std::chrono::milliseconds delay{0};  // before anything is sent
  Framing framing = Framing::Length;
  std::optional<std::uint64_t> content_length;  // announced instead of the real size
  std::vector<std::string> pieces;              // the body, written piece by piece
  std::chrono::milliseconds pause{0};           // before every piece after the first
  bool gated = false;  // every piece after the first waits for release_piece()
  std::uint64_t generated_size = 0;  // pattern bytes (generated_byte) after the pieces
  Ending ending = Ending::Complete;
  bool silent = false;              // read the request, then never answer
  // Written instead of a response; the ending follows (Complete closes the connection).
  std::optional<std::string> raw;

  static Answer body(std::string bytes);
  static Answer status_only(int status, std::string reason);
  static Answer redirect(int status, std::string location);
  static Answer silence();
};

// Byte `offset` of a generated body.
char generated_byte(std::uint64_t offset);
// Whether bytes are those of a generated body from `offset` on, compared a
// block at a time, so that checking a large body costs little next to fetching it.
bool is_generated(std::uint64_t offset, std::span<const std::byte> bytes);

struct TlsServerOptions {
  // The name the certificate is issued for: an IP address text or a DNS name.
  std::string certificate_name = "127.0.0.1";
};

class TlsServer {
 public:
  explicit TlsServer(TlsServerOptions options = {});
  TlsServer(const TlsServer&) = delete;
  TlsServer& operator=(const TlsServer&) = delete;
  ~TlsServer();

  std::uint16_t port() const;
  // "https://127.0.0.1:<port>" followed by path.
  std::string url(std::string_view path) const;
  // The test authority's certificate, for the client to trust.
  const std::string& ca_pem() const { return ca_pem_; }

  // Scripts the answer for a request target (path and query); any other target gets 404.
  void on(std::string target, Answer answer);
  // Cuts every connection and stops answering; the destructor does it too.
  void stop();
  // Lets one gated piece go out.
  void release_piece();
  // Every request head received so far, in order of arrival.
  std::vector<RecordedRequest> requests() const;
  // The body bytes written so far, over every answer: how far a client let the server get.
  std::uint64_t sent_body_bytes() const { return sent_body_bytes_.load(); }
  // The lowest protocol version (such as TLS1_2_VERSION) that each client hello
  // offered, in order of arrival.
  std::vector<int> lowest_offered_versions() const;

 private:
  struct Tls;
  enum class After { KeepOpen, Close, Cut };

  static int on_client_hello(SSL* ssl, int* alert, void* server);
  void serve(int socket);
  After play(SSL* ssl, const Answer& answer);
  // One piece of body, framed as the answer's framing needs, and counted.
  bool write_piece(SSL* ssl, Framing framing, std::string_view piece);
  // Waits for the pause or the server's end; false once the server is stopping.
  bool wait(std::chrono::milliseconds pause);
  bool wait_for_release();
  // Waits until the server goes away.
  void stall();

  std::string ca_pem_;
  std::unique_ptr<Tls> tls_;
  std::uint16_t port_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool stopping_ = false;
  std::uint64_t released_ = 0;
  std::map<std::string, Answer> answers_;
  std::vector<RecordedRequest> requests_;
  std::vector<int> lowest_offered_versions_;
  std::atomic<std::uint64_t> sent_body_bytes_ = 0;

  // Last, so that its handlers are gone before anything they use.
  std::unique_ptr<LoopbackListener> listener_;
};

}  // namespace orvo::test
