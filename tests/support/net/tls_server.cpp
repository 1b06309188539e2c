#include "support/net/tls_server.hpp"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

#include "support/net/openssl_handles.hpp"
#include "support/net/test_certificates.hpp"

namespace orvo::test {

namespace {

constexpr std::size_t kGeneratedBlock = 64 * 1024;
constexpr std::uint64_t kPatternPeriod = 251;

BioHandle memory_bio(const std::string& text) {
  return BioHandle(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
}

// Picks http/1.1 when the client offers it, and no protocol otherwise.
int select_alpn(SSL*, const unsigned char** out, unsigned char* out_length, const unsigned char* in,
                unsigned int in_length, void*) {
  static const unsigned char kHttp11[] = {8, 'h', 't', 't', 'p', '/', '1', '.', '1'};
  unsigned char* selected = nullptr;
  if (SSL_select_next_proto(&selected, out_length, kHttp11, sizeof kHttp11, in, in_length) !=
      OPENSSL_NPN_NEGOTIATED) {
    return SSL_TLSEXT_ERR_NOACK;
  }
  *out = selected;
  return SSL_TLSEXT_ERR_OK;
}

bool write_all(SSL* ssl, std::string_view bytes) {
  while (!bytes.empty()) {
    const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20));
    const int written = SSL_write(ssl, bytes.data(), chunk);
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::string hex(std::size_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%zx", value);
  return text;
}

// The lowest version in a supported_versions extension (a length byte, then
// two bytes per version); 0 when it lists none.
int lowest_listed_version(const unsigned char* data, std::size_t size) {
  if (size < 1 || data[0] + 1u != size) return 0;
  int lowest = 0;
  for (std::size_t i = 1; i + 1 < size; i += 2) {
    const int version = data[i] << 8 | data[i + 1];
    if (lowest == 0 || version < lowest) lowest = version;
  }
  return lowest;
}

// A block of the pattern long enough that any offset's next 64 KiB are one view of it.
const std::string& pattern_block() {
  static const std::string block = [] {
    std::string bytes(kGeneratedBlock + kPatternPeriod, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = generated_byte(i);
    return bytes;
  }();
  return block;
}

}  // namespace

struct TlsServer::Tls {
  SslContextHandle context;
};

Answer Answer::body(std::string bytes) {
  Answer answer;
  answer.pieces.push_back(std::move(bytes));
  return answer;
}

Answer Answer::status_only(int status, std::string reason) {
  Answer answer;
  answer.status = status;
  answer.reason = std::move(reason);
  return answer;
}

Answer Answer::redirect(int status, std::string location) {
  Answer answer = status_only(status, "Redirect");
  answer.headers.push_back({"Location", std::move(location)});
  return answer;
}

Answer Answer::silence() {
  Answer answer;
  answer.silent = true;
  return answer;
}

char generated_byte(std::uint64_t offset) { return static_cast<char>(offset % kPatternPeriod); }

bool is_generated(std::uint64_t offset, std::span<const std::byte> bytes) {
  while (!bytes.empty()) {
    const std::size_t block = std::min(bytes.size(), kGeneratedBlock);
    if (std::memcmp(bytes.data(), pattern_block().data() + offset % kPatternPeriod, block) != 0) {
      return false;
    }
    offset += block;
    bytes = bytes.subspan(block);
  }
  return true;
}

TlsServer::TlsServer(TlsServerOptions options) : tls_(std::make_unique<Tls>()) {
  TestCertificates certificates = make_test_certificates(options.certificate_name);
  ca_pem_ = certificates.ca_pem;

  tls_->context.reset(SSL_CTX_new(TLS_server_method()));
  SSL_CTX* context = tls_->context.get();
  if (context == nullptr) throw std::runtime_error("TLS server: no context");
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  auto cert_bio = memory_bio(certificates.server_cert_pem);
  auto key_bio = memory_bio(certificates.server_key_pem);
  CertHandle cert(PEM_read_bio_X509(cert_bio.get(), nullptr, nullptr, nullptr));
  KeyHandle key(PEM_read_bio_PrivateKey(key_bio.get(), nullptr, nullptr, nullptr));
  const bool loaded = cert != nullptr && key != nullptr &&
                      SSL_CTX_use_certificate(context, cert.get()) == 1 &&
                      SSL_CTX_use_PrivateKey(context, key.get()) == 1;
  if (!loaded) throw std::runtime_error("TLS server: cannot load the certificate");
  SSL_CTX_set_alpn_select_cb(context, select_alpn, nullptr);
  SSL_CTX_set_client_hello_cb(context, on_client_hello, this);

  listener_ = std::make_unique<LoopbackListener>([this](int socket) { serve(socket); });
  port_ = listener_->port();
}

TlsServer::~TlsServer() { stop(); }

void TlsServer::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  listener_.reset();
}

std::uint16_t TlsServer::port() const { return port_; }

std::string TlsServer::url(std::string_view path) const {
  return "https://127.0.0.1:" + std::to_string(port()) + std::string(path);
}

void TlsServer::on(std::string target, Answer answer) {
  std::lock_guard lock(mutex_);
  answers_.insert_or_assign(std::move(target), std::move(answer));
}

void TlsServer::release_piece() {
  {
    std::lock_guard lock(mutex_);
    ++released_;
  }
  changed_.notify_all();
}

std::vector<RecordedRequest> TlsServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<int> TlsServer::lowest_offered_versions() const {
  std::lock_guard lock(mutex_);
  return lowest_offered_versions_;
}

int TlsServer::on_client_hello(SSL* ssl, int*, void* server) {
  const unsigned char* versions = nullptr;
  std::size_t size = 0;
  // A hello without the extension names only its highest version and rules no older one out.
  const int lowest = SSL_client_hello_get0_ext(ssl, TLSEXT_TYPE_supported_versions, &versions, &size) == 1
                         ? lowest_listed_version(versions, size)
                         : SSL3_VERSION;
  TlsServer& self = *static_cast<TlsServer*>(server);
  std::lock_guard lock(self.mutex_);
  self.lowest_offered_versions_.push_back(lowest);
  return SSL_CLIENT_HELLO_SUCCESS;
}

bool TlsServer::wait(std::chrono::milliseconds pause) {
  std::unique_lock lock(mutex_);
  return !changed_.wait_for(lock, pause, [&] { return stopping_; });
}

bool TlsServer::wait_for_release() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return stopping_ || released_ > 0; });
  if (stopping_) return false;
  --released_;
  return true;
}

void TlsServer::stall() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return stopping_; });
}

void TlsServer::serve(int socket) {
  SslHandle ssl(SSL_new(tls_->context.get()));
  if (ssl == nullptr || SSL_set_fd(ssl.get(), socket) != 1 || SSL_accept(ssl.get()) != 1) {
    ERR_clear_error();
    return;
  }
  RequestHeadReader reader([&](char* buffer, std::size_t size) -> std::size_t {
    const int got = SSL_read(ssl.get(), buffer, static_cast<int>(std::min<std::size_t>(size, 1 << 20)));
    return got > 0 ? static_cast<std::size_t>(got) : 0;
  });
  After after = After::Close;
  while (std::optional<RecordedRequest> request = reader.next()) {
    Answer answer = Answer::status_only(404, "Not Found");
    {
      std::lock_guard lock(mutex_);
      if (auto found = answers_.find(request->target()); found != answers_.end()) {
        answer = found->second;
      }
      requests_.push_back(std::move(*request));
    }
    after = play(ssl.get(), answer);
    if (after != After::KeepOpen) break;
  }
  if (after != After::Cut) SSL_shutdown(ssl.get());
  ERR_clear_error();
}

bool TlsServer::write_piece(SSL* ssl, Framing framing, std::string_view piece) {
  if (piece.empty()) return true;
  bool written = false;
  if (framing != Framing::Chunked) {
    written = write_all(ssl, piece);
  } else {
    std::string framed = hex(piece.size()) + "\r\n";
    framed += piece;
    framed += "\r\n";
    written = write_all(ssl, framed);
  }
  if (written) sent_body_bytes_ += piece.size();
  return written;
}

TlsServer::After TlsServer::play(SSL* ssl, const Answer& answer) {
  if (answer.delay.count() > 0 && !wait(answer.delay)) return After::Cut;
  if (answer.raw) {
    if (!write_all(ssl, *answer.raw)) return After::Cut;
    if (answer.ending == Ending::Stall) stall();
    return answer.ending == Ending::Complete ? After::Close : After::Cut;
  }
  if (answer.silent) {
    stall();
    return After::Cut;
  }

  std::uint64_t size = answer.generated_size;
  for (const std::string& piece : answer.pieces) size += piece.size();
  std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " + answer.reason + "\r\n";
  for (const HeaderField& field : answer.headers) head += field.name + ": " + field.value + "\r\n";
  switch (answer.framing) {
    case Framing::Length:
      head += "Content-Length: " + std::to_string(answer.content_length.value_or(size)) + "\r\n";
      break;
    case Framing::Chunked:
      head += "Transfer-Encoding: chunked\r\n";
      break;
    case Framing::Close:
      head += "Connection: close\r\n";
      break;
    case Framing::None:
      break;
  }
  head += "\r\n";
  if (!write_all(ssl, head)) return After::Cut;

  for (std::size_t i = 0; i < answer.pieces.size(); ++i) {
    if (i > 0) {
      if (answer.pause.count() > 0 && !wait(answer.pause)) return After::Cut;
      if (answer.gated && !wait_for_release()) return After::Cut;
    }
    if (!write_piece(ssl, answer.framing, answer.pieces[i])) return After::Cut;
  }
  for (std::uint64_t sent = 0; sent < answer.generated_size;) {
    const std::size_t block =
        static_cast<std::size_t>(std::min<std::uint64_t>(answer.generated_size - sent, kGeneratedBlock));
    const std::string_view view(pattern_block().data() + sent % kPatternPeriod, block);
    if (!write_piece(ssl, answer.framing, view)) return After::Cut;
    sent += block;
  }

  switch (answer.ending) {
    case Ending::Cut:
      return After::Cut;
    case Ending::Stall:
      stall();
      return After::Cut;
    case Ending::Complete:
      break;
  }
  if (answer.framing == Framing::Chunked && !write_all(ssl, "0\r\n\r\n")) return After::Cut;
  return answer.framing == Framing::Close ? After::Close : After::KeepOpen;
}

}  // namespace orvo::test
