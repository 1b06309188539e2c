#include "core/net/download_worker.hpp"

#include <algorithm>
#include <climits>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <openssl/crypto.h>

#include "core/net/close_notify_watch.hpp"
#include "core/net/curl_error.hpp"
#include "core/net/response_head.hpp"
#include "core/net/status_error.hpp"

namespace orvo::core {

namespace {

using Clock = std::chrono::steady_clock;

// The longest single wait for network activity; curl's own timers cut it shorter.
constexpr int kPollMilliseconds = 1000;

// While bytes keep coming, up to this many full chunks go to the reader together:
// a reader that waits costs a wake-up per send burst, not per chunk.
constexpr std::size_t kBurstChunks = 4;

enum class Outcome {
  Head,          // the response head is still being read
  Streaming,     // DownloadLength went out; body bytes follow
  Redirect,      // a redirect to follow; the transfer was stopped
  StatusError,   // a 400 to 599 answer; the transfer was stopped
  BadFraming,    // a body that cannot be read as the head frames it; the transfer was stopped
  ReceiverGone,  // nobody reads the events any more
};

// Body bytes received but not yet sent, as chunks of kDownloadChunkLimit bytes
// with the last one possibly partial.
class PendingChunks {
 public:
  bool empty() const { return bytes_ == 0; }
  std::size_t bytes() const { return bytes_; }
  std::size_t full_chunks() const { return bytes_ / kDownloadChunkLimit; }

  void append(const std::byte* data, std::size_t length, DownloadEventSender& events) {
    while (length > 0) {
      if (chunks_.empty() || chunks_.back().size() == kDownloadChunkLimit) {
        chunks_.push_back(kept_.capacity() > 0 ? std::exchange(kept_, {}) : events.chunk_buffer());
      }
      std::vector<std::byte>& last = chunks_.back();
      const std::size_t piece = std::min(length, kDownloadChunkLimit - last.size());
      last.insert(last.end(), data, data + piece);
      data += piece;
      length -= piece;
      bytes_ += piece;
    }
  }

  // Sends every chunk in order; false once nobody reads any more.
  bool send_all(DownloadEventSender& events) {
    bytes_ = 0;
    bool sent = true;
    for (std::vector<std::byte>& chunk : chunks_) {
      // A queued chunk holds at most twice its bytes: a server that trickles
      // single bytes must not make every one of them cost a whole chunk. The
      // whole-size buffer stays here for the next bytes.
      if (chunk.size() < chunk.capacity() / 2) {
        std::vector<std::byte> exact(chunk.begin(), chunk.end());
        chunk.clear();
        kept_ = std::exchange(chunk, std::move(exact));
      }
      sent = sent && events.send(DownloadChunk{std::move(chunk)});
    }
    chunks_.clear();
    return sent;
  }

 private:
  std::vector<std::vector<std::byte>> chunks_;  // keeps its own capacity from burst to burst
  std::vector<std::byte> kept_;  // an empty whole-size buffer, or none
  std::size_t bytes_ = 0;
};

// What the callbacks of one hop learn from its response.
struct Exchange {
  CURL* easy;
  DownloadEventSender& events;
  Outcome outcome = Outcome::Head;
  ResponseHead head{};
  std::optional<Error> framing_error{};  // why the outcome is BadFraming
  std::optional<std::uint64_t> length{};  // what DownloadLength said
  std::uint64_t received = 0;             // body bytes taken so far
  CloseNotifyWatch close_notify{};        // for a body that ends with the connection
  bool paused = false;  // the body callback asked curl to hold the bytes back
  PendingChunks pending{};
};

bool is_followed_redirect(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// At the blank line after a head; false stops the transfer before any body byte.
bool end_of_head(Exchange& exchange) {
  long status = 0;
  curl_easy_getinfo(exchange.easy, CURLINFO_RESPONSE_CODE, &status);
  if (status < 200) return true;  // an interim answer; the real head follows
  if (is_followed_redirect(status) && exchange.head.location()) {
    exchange.outcome = Outcome::Redirect;
    return false;
  }
  if (status >= 400 && status <= 599) {
    exchange.outcome = Outcome::StatusError;
    return false;
  }
  if (Result<void> framing = exchange.head.check_framing(); !framing) {
    exchange.framing_error = std::move(framing).error();
    exchange.outcome = Outcome::BadFraming;
    return false;
  }
  exchange.length = exchange.head.fixed_length(status);
  if (exchange.head.ends_with_connection(status)) exchange.close_notify.watch(exchange.easy);
  if (!exchange.events.send(DownloadLength{exchange.length})) {
    exchange.outcome = Outcome::ReceiverGone;
    return false;
  }
  exchange.outcome = Outcome::Streaming;
  return true;
}

std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user) {
  Exchange& exchange = *static_cast<Exchange*>(user);
  const std::size_t length = size * count;
  // Once the head is through, only the trailers of a chunked body come here.
  if (exchange.outcome != Outcome::Head) return length;
  const std::string_view line(data, length);
  if (line.starts_with("HTTP/")) {
    exchange.head.start(line);
  } else if (line == "\r\n" || line == "\n") {
    if (!end_of_head(exchange)) return 0;
  } else {
    exchange.head.add(line);
  }
  return length;
}

// Sends the collected body bytes, if any; false once nobody reads any more.
bool flush(Exchange& exchange) {
  if (!exchange.pending.send_all(exchange.events)) {
    exchange.outcome = Outcome::ReceiverGone;
    return false;
  }
  return true;
}

std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user) {
  Exchange& exchange = *static_cast<Exchange*>(user);
  const std::size_t length = size * count;
  if (exchange.outcome != Outcome::Streaming) return CURL_WRITEFUNC_ERROR;
  // curl keeps these bytes and hands them over again once the transfer goes on.
  if (exchange.events.full()) {
    exchange.paused = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  exchange.pending.append(reinterpret_cast<const std::byte*>(data), length, exchange.events);
  exchange.received += length;
  if (exchange.pending.full_chunks() >= kBurstChunks && !flush(exchange)) return CURL_WRITEFUNC_ERROR;
  return length;
}

// The time left until the deadline in whole milliseconds, rounded up; 0 when none is left.
long milliseconds_left(Clock::time_point deadline) {
  const Clock::time_point now = Clock::now();
  if (deadline <= now) return 0;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
  return static_cast<long>(std::min<decltype(left)>(left, LONG_MAX));
}

struct CurlMultiCleanup {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};

// While the queue is full: what was collected goes out, then the worker waits
// for the reader, never past curl's next timer (the time limit among them), and
// resumes the transfer once there is room. CURLE_OK while it may go on.
Result<CURLcode> hold_back(CURLM* multi, CURL* easy, Exchange& exchange) {
  if (!flush(exchange)) return CURLE_WRITE_ERROR;
  long timer = -1;
  if (CURLMcode status = curl_multi_timeout(multi, &timer); status != CURLM_OK) {
    return fail(curl_multi_error(status));
  }
  // A timer that is due already gets a millisecond: a wait of nothing would spin.
  const long wait = timer < 0 ? kPollMilliseconds : std::clamp<long>(timer, 1, kPollMilliseconds);
  switch (exchange.events.wait_for_room(std::chrono::milliseconds(wait))) {
    case DownloadEventSender::Wait::ReaderGone:
      exchange.outcome = Outcome::ReceiverGone;
      return CURLE_WRITE_ERROR;
    case DownloadEventSender::Wait::TimedOut:
      return CURLE_OK;
    case DownloadEventSender::Wait::Room:
      break;
  }
  exchange.paused = false;
  // curl hands the held bytes over at once, from inside this call.
  return curl_easy_pause(easy, CURLPAUSE_CONT);
}

// The transfer of the handle on a multi handle of its own, so that body bytes
// that arrive together leave together: collected bytes go out as soon as the
// connection has nothing more ready (or kBurstChunks are full), which keeps a
// read returning as soon as data is there while sparing a waiting reader a
// wake-up per TLS record.
Result<CURLcode> transfer(CURL* easy, Exchange& exchange) {
  std::unique_ptr<CURLM, CurlMultiCleanup> multi(curl_multi_init());
  if (multi == nullptr) return fail(curl_error(CURLE_OUT_OF_MEMORY));
  if (CURLMcode added = curl_multi_add_handle(multi.get(), easy); added != CURLM_OK) {
    return fail(curl_multi_error(added));
  }
  struct Detach {
    CURLM* multi;
    CURL* easy;
    ~Detach() { curl_multi_remove_handle(multi, easy); }
  } detach{multi.get(), easy};

  for (;;) {
    const std::size_t collected = exchange.pending.bytes();
    int running = 0;
    if (CURLMcode status = curl_multi_perform(multi.get(), &running); status != CURLM_OK) {
      return fail(curl_multi_error(status));
    }
    if (running == 0) break;
    if (exchange.paused) {
      Result<CURLcode> held = hold_back(multi.get(), easy, exchange);
      if (!held || *held != CURLE_OK) return held;
      continue;
    }
    if (!exchange.pending.empty()) {
      int ready = 0;
      if (CURLMcode status = curl_multi_wait(multi.get(), nullptr, 0, 0, &ready); status != CURLM_OK) {
        return fail(curl_multi_error(status));
      }
      // Only while the last round brought bytes: readiness without progress must not spin.
      if (ready > 0 && exchange.pending.bytes() > collected) continue;
      if (!flush(exchange)) return CURLE_WRITE_ERROR;
    }
    // curl shortens the wait to its own timers, the transfer's time limit among them.
    if (CURLMcode status = curl_multi_poll(multi.get(), nullptr, 0, kPollMilliseconds, nullptr);
        status != CURLM_OK) {
      return fail(curl_multi_error(status));
    }
  }
  CURLcode result = CURLE_OK;
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
    if (message->msg == CURLMSG_DONE) result = message->data.result;
  }
  return result;
}

// One request of the chain: the transfer of url until its end or until a
// callback stops it. The exchange says how far it came.
Result<CURLcode> perform_hop(const DownloadClient& client, CURL* easy, const Url& url,
                             long time_left, Exchange& exchange, char* error_buffer) {
  error_buffer[0] = '\0';
  if (Result<void> aimed = client.aim(easy, url); !aimed) return fail(std::move(aimed).error());
  curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, time_left);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error_buffer);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, on_header);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &exchange);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, on_body);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &exchange);
  return transfer(easy, exchange);
}

// The redirect's target if the policy lets the request follow it.
Result<Url> follow(const DownloadClient& client, const Exchange& exchange,
                   std::span<const Url> visited) {
  const Url& from = visited.back();
  Result<Url> target = parse_url(*exchange.head.location(), &from);
  if (!target) {
    return fail(std::move(target).error().wrap("Invalid download redirect location for url (" +
                                               from.href() + ")"));
  }
  if (Result<void> allowed = client.redirect_policy().check_redirect(*target, visited); !allowed) {
    return fail(std::move(allowed).error().wrap("Download redirect refused for url (" +
                                                from.href() + ")"));
  }
  return target;
}

// The whole request; the terminal event it yields, if any is due.
std::optional<DownloadEvent> run_request(DownloadJob& job) {
  const DownloadClient& client = *job.client;
  // Before the handle, so that it outlives it: curl may write to it until the handle is cleaned up.
  char error_buffer[CURL_ERROR_SIZE];
  Result<CurlEasy> handle = client.new_request_handle();
  if (!handle) return DownloadFailed{handle.error().chain_text()};
  CURL* easy = handle->get();
  std::vector<Url> visited{job.request.url};
  for (;;) {
    const long time_left = milliseconds_left(job.request.deadline);
    // curl reads a time limit of 0 as none at all.
    if (time_left == 0) return DownloadFailed{curl_error(CURLE_OPERATION_TIMEDOUT).chain_text()};
    Exchange exchange{.easy = easy, .events = job.events};
    const Result<CURLcode> status =
        perform_hop(client, easy, visited.back(), time_left, exchange, error_buffer);
    if (!status) return DownloadFailed{status.error().chain_text()};
    switch (exchange.outcome) {
      case Outcome::ReceiverGone:
        return std::nullopt;
      case Outcome::StatusError: {
        long code = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &code);
        return DownloadFailed{
            status_error_text(code, reason_phrase(exchange.head.status_line()), visited.back())};
      }
      case Outcome::BadFraming:
        return DownloadFailed{exchange.framing_error->chain_text()};
      case Outcome::Redirect: {
        Result<Url> target = follow(client, exchange, visited);
        if (!target) return DownloadFailed{target.error().chain_text()};
        visited.push_back(std::move(*target));
        continue;
      }
      case Outcome::Streaming:
      case Outcome::Head:
        break;
    }
    // Bytes that came before an error are still the body's, in order.
    if (!flush(exchange)) return std::nullopt;
    if (*status != CURLE_OK) return DownloadFailed{curl_error(*status, error_buffer).chain_text()};
    // A transfer that ends well without a head is no HTTP answer at all.
    if (exchange.outcome == Outcome::Head) {
      return DownloadFailed{curl_error(CURLE_WEIRD_SERVER_REPLY).chain_text()};
    }
    if (exchange.close_notify.cut()) {
      return DownloadFailed{
          curl_error(CURLE_RECV_ERROR, "connection closed without TLS close_notify").chain_text()};
    }
    // curl holds a body to the lengths it can count itself; beyond those it
    // reads to the connection's end, which may come first.
    if (exchange.length && exchange.received < *exchange.length) {
      const std::string missing = std::to_string(*exchange.length - exchange.received);
      return DownloadFailed{
          curl_error(CURLE_PARTIAL_FILE, "transfer closed with " + missing + " bytes remaining to read")
              .chain_text()};
    }
    return DownloadFinished{};
  }
}

}  // namespace

Result<DownloadRequest> prepare_download_request(std::string_view url, std::uint64_t timeout_seconds) {
  Result<Url> parsed = parse_url(url);
  if (!parsed) return fail(Error(curl_easy_strerror(CURLE_URL_MALFORMAT), std::move(parsed).error()));
  if (!parsed->has_host()) return fail(curl_error(CURLE_URL_MALFORMAT));
  const Clock::time_point now = Clock::now();
  const auto left = std::chrono::duration_cast<std::chrono::seconds>(Clock::time_point::max() - now);
  const Clock::time_point deadline =
      timeout_seconds >= static_cast<std::uint64_t>(left.count())
          ? Clock::time_point::max()
          : now + std::chrono::seconds(static_cast<std::chrono::seconds::rep>(timeout_seconds));
  return DownloadRequest{std::move(*parsed), deadline};
}

void run_download_worker(DownloadJob job) {
  // The request's handle and connection are released before the last event goes out.
  std::optional<DownloadEvent> last = run_request(job);
  // A reader that is gone simply drops it.
  if (last) job.events.send(std::move(*last));
  // OpenSSL's per-thread state would otherwise go only when the thread exits,
  // which nobody waits for; releasing it here means that once the worker has
  // let go of the client, nothing of it is left.
  OPENSSL_thread_stop();
}

}  // namespace orvo::core
