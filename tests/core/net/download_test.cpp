// The download client and worker against a real TLS server on 127.0.0.1.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/net/download_body.hpp"
#include "support/net/download_fixture.hpp"
#include "support/net/tls_server.hpp"

namespace orvo::core {
namespace {

using test::Answer;
using test::Ending;
using test::Framing;

using Download = test::DownloadFixture;
using test::read_once;

struct BodyCase {
  std::string name;
  Answer answer;
  std::optional<std::uint64_t> expected_length;
  std::string expected_body;
};

class DownloadBodies : public Download, public testing::WithParamInterface<BodyCase> {};

TEST_P(DownloadBodies, DeliversLengthAndBody) {
  server.on("/file", GetParam().answer);
  Result<DownloadBody> body = start("/file");
  ASSERT_TRUE(body) << body.error().chain_text();
  EXPECT_EQ(body->expected_length, GetParam().expected_length);
  test::BodyReading reading = test::read_to_end(*body);
  ASSERT_FALSE(reading.error) << reading.error->chain_text();
  EXPECT_EQ(reading.bytes, GetParam().expected_body);
  for (std::size_t size : reading.reads) EXPECT_LE(size, kDownloadChunkLimit);
  // Once the end has been read, the end is all there is.
  EXPECT_EQ(read_once(*body), "<end>");
}

Answer with_framing(Answer answer, Framing framing) {
  answer.framing = framing;
  return answer;
}

Answer pieces(std::vector<std::string> parts, Framing framing) {
  Answer answer;
  answer.pieces = std::move(parts);
  answer.framing = framing;
  return answer;
}

Answer raw(std::string bytes) {
  Answer answer;
  answer.raw = std::move(bytes);
  return answer;
}

Answer status_with_body(int status, std::string reason, std::string body) {
  Answer answer = Answer::body(std::move(body));
  answer.status = status;
  answer.reason = std::move(reason);
  return answer;
}

std::string repeated(std::string_view text, std::size_t count) {
  std::string result;
  for (std::size_t i = 0; i < count; ++i) result += text;
  return result;
}

const std::string kLargeBody = [] {
  std::string bytes(1024 * 1024 + 17, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 4099);
  return bytes;
}();

INSTANTIATE_TEST_SUITE_P(
    Responses, DownloadBodies,
    testing::Values(
        BodyCase{"ContentLengthZero", Answer::body(""), 0, ""},
        BodyCase{"ContentLength", Answer::body("hello"), 5, "hello"},
        BodyCase{"Chunked", pieces({"ab", "cde", "f"}, Framing::Chunked), std::nullopt, "abcdef"},
        BodyCase{"CloseDelimited", pieces({"to the ", "end"}, Framing::Close), std::nullopt,
                 "to the end"},
        BodyCase{"LargerThanOneRead", Answer::body(kLargeBody), kLargeBody.size(), kLargeBody},
        BodyCase{"NotModified", with_framing(Answer::status_only(304, "Not Modified"), Framing::None),
                 0, ""},
        BodyCase{"NoContent", with_framing(Answer::status_only(204, "No Content"), Framing::None), 0,
                 ""},
        BodyCase{"RedirectWithoutLocation", status_with_body(302, "Found", "moved?"), 6, "moved?"},
        BodyCase{"MultipleChoices",
                 [] {
                   Answer answer = status_with_body(300, "Multiple Choices", "pick");
                   answer.headers.push_back({"Location", "/elsewhere"});
                   return answer;
                 }(),
                 4, "pick"},
        BodyCase{"CodeAboveFiveNinetyNine", status_with_body(600, "Odd", "x"), 1, "x"},
        BodyCase{"InterimAnswerFirst",
                 raw("HTTP/1.1 100 Continue\r\n\r\n"
                     "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"),
                 2, "ok"},
        BodyCase{"LongerThanAnnounced",
                 raw("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabcdefghij"), 3, "abc"},
        BodyCase{"ChunkedWinsOverLength",
                 raw("HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: chunked\r\n\r\n"
                     "3\r\nabc\r\n0\r\n\r\n"),
                 std::nullopt, "abc"},
        BodyCase{"ChunkedInAnyCase",
                 raw("HTTP/1.1 200 OK\r\ntransfer-encoding:  Chunked \r\n\r\n3\r\nabc\r\n0\r\n\r\n"),
                 std::nullopt, "abc"},
        BodyCase{"LengthWithLeadingZeros",
                 raw("HTTP/1.1 200 OK\r\nContent-Length: 007\r\n\r\nsevenby"), 7, "sevenby"},
        BodyCase{"RepeatedEqualLengths",
                 raw("HTTP/1.1 200 OK\r\nContent-Length: 3\r\ncontent-length:3\r\n\r\nabc"), 3,
                 "abc"}),
    [](const testing::TestParamInfo<BodyCase>& info) { return info.param.name; });

struct StatusCase {
  int status;
  std::string reason;
  std::string expected_prefix;  // the text up to " for url ("
};

class DownloadStatusErrors : public Download, public testing::WithParamInterface<StatusCase> {};

TEST_P(DownloadStatusErrors, FailWithTheStatusText) {
  // The announced body never comes: reading it would end in a time-out, not the status text.
  Answer answer = Answer::status_only(GetParam().status, GetParam().reason);
  answer.content_length = 100;
  answer.ending = Ending::Stall;
  server.on("/file", answer);
  Result<DownloadBody> body = start("/file");
  ASSERT_FALSE(body);
  EXPECT_EQ(body.error().chain_text(),
            GetParam().expected_prefix + " for url (" + server.url("/file") + ")");
}

INSTANTIATE_TEST_SUITE_P(
    Codes, DownloadStatusErrors,
    testing::Values(StatusCase{404, "Not Found", "HTTP status client error (404 Not Found)"},
                    StatusCase{503, "Service Unavailable",
                               "HTTP status server error (503 Service Unavailable)"},
                    StatusCase{400, "Bad Request", "HTTP status client error (400 Bad Request)"},
                    StatusCase{599, "Network Read Timeout",
                               "HTTP status server error (599 Network Read Timeout)"},
                    StatusCase{404, "Nicht gefunden", "HTTP status client error (404 Nicht gefunden)"},
                    // Bytes that are no UTF-8 do not reach the texts of the system as they came.
                    StatusCase{404, "Nicht gefunden\xff", "HTTP status client error (404 Nicht gefunden\uFFFD)"},
                    StatusCase{410, "", "HTTP status client error (410)"},
                    // What a server says stays one short line of text in the log.
                    StatusCase{404, std::string(90 * 1024, 'x'),
                               "HTTP status client error (404 " + std::string(61, 'x') + "\u2026)"},
                    StatusCase{404, "Not\x1b[31m Found\x07\tnow",
                               "HTTP status client error (404 Not\\u001b[31m Found\\u0007\\u0009now)"},
                    StatusCase{500, std::string(20, '\x07'),
                               "HTTP status server error (500 " + repeated("\\u0007", 10) + "\u2026)"},
                    // Cut between characters, never inside one.
                    StatusCase{404, repeated("\u00e9", 40),
                               "HTTP status client error (404 " + repeated("\u00e9", 30) + "\u2026)"},
                    // A phrase cannot pass for an escape, nor turn the rest of the line around.
                    StatusCase{404, "Not\\u001b Found\\",
                               "HTTP status client error (404 Not\\u005cu001b Found\\u005c)"},
                    StatusCase{404, "a\u202Ab\u202Ec\u2066d\u2069e\u2067\u2068",
                               "HTTP status client error (404 a\\u202ab\\u202ec\\u2066d\\u2069e"
                               "\\u2067\\u2068)"},
                    StatusCase{404, "\u202B\u202C\u202D but not \u2065\u206A\u2010",
                               "HTTP status client error (404 \\u202b\\u202c\\u202d but not "
                               "\u2065\u206A\u2010)"}),
    [](const testing::TestParamInfo<StatusCase>& info) {
      return "Status" + std::to_string(info.param.status) + "_" + std::to_string(info.index);
    });

TEST_F(Download, SendsOnlyTheExpectedRequestHeaders) {
  server.on("/downloads/host/win-x64/latest.json?v=1", Answer::body("{}"));
  Result<DownloadBody> body = start("/downloads/host/win-x64/latest.json?v=1");
  ASSERT_TRUE(body) << body.error().chain_text();
  std::vector<test::RecordedRequest> requests = server.requests();
  ASSERT_EQ(requests.size(), 1u);
  const test::RecordedRequest& request = requests[0];
  EXPECT_EQ(request.line, "GET /downloads/host/win-x64/latest.json?v=1 HTTP/1.1");
  EXPECT_EQ(request.header("Host"), "127.0.0.1:" + std::to_string(server.port()));
  EXPECT_EQ(request.header("User-Agent"), "ORVO-Support-Launcher/0.1.0");
  EXPECT_EQ(request.header("Accept"), "*/*");
  std::vector<std::string> names;
  for (const test::HeaderField& field : request.headers) names.push_back(field.name);
  EXPECT_EQ(names, (std::vector<std::string>{"Host", "User-Agent", "Accept"}));
}

TEST_F(Download, PiecesArriveOneChunkPerRead) {
  const std::vector<std::string> parts = {"first", "second piece", "3"};
  Answer answer = Answer::body("");
  answer.pieces = parts;
  answer.gated = true;
  server.on("/file", answer);
  Result<DownloadBody> body = start("/file");
  ASSERT_TRUE(body) << body.error().chain_text();
  for (const std::string& part : parts) {
    EXPECT_EQ(read_once(*body), part);
    // What a queued chunk holds in memory stays in proportion to its bytes.
    EXPECT_LE(body->chunk.capacity(), 2 * body->chunk.size());
    // The next piece leaves the server only now, so it cannot join this one.
    server.release_piece();
  }
  EXPECT_EQ(read_once(*body), "<end>");
}

TEST_F(Download, CancelWhileTheServerIsSilent) {
  server.on("/file", Answer::silence());
  std::jthread canceller = cancel_when_requested();
  Result<DownloadBody> body = start("/file");
  ASSERT_FALSE(body);
  EXPECT_EQ(body.error().chain_text(), "Preparation cancelled");
  EXPECT_EQ(body.error().io_kind(), IoKind::Interrupted);
}

struct StallCase {
  std::string name;
  std::uint64_t timeout_seconds;
  bool cancel;  // cancel while the reader waits, instead of letting the time run out
  std::string error;
  IoKind kind;
};

class StalledBody : public Download, public testing::WithParamInterface<StallCase> {};

// A body that stops after a few bytes: what came is handed out, then the wait ends.
TEST_P(StalledBody, EndsTheWaitingRead) {
  Answer answer = Answer::body("some");
  answer.content_length = 100;
  answer.ending = Ending::Stall;
  server.on("/file", answer);
  Result<DownloadBody> body = start("/file", GetParam().timeout_seconds);
  ASSERT_TRUE(body) << body.error().chain_text();
  EXPECT_EQ(read_once(*body), "some");
  std::jthread canceller;
  if (GetParam().cancel) canceller = cancel_when_requested();
  test::BodyReading reading = test::read_to_end(*body);
  EXPECT_EQ(reading.bytes, "");
  ASSERT_TRUE(reading.error);
  EXPECT_EQ(reading.error->chain_text(), GetParam().error);
  EXPECT_EQ(reading.error->io_kind(), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, StalledBody,
    testing::Values(StallCase{"Cancelled", test::kGenerousSeconds, true, "Preparation cancelled",
                              IoKind::Interrupted},
                    // Running out of time ends in curl's time-out error, whose innermost text is fixed.
                    StallCase{"OutOfTime", 1, false, "Timeout was reached: operation timed out",
                              IoKind::Other}),
    [](const testing::TestParamInfo<StallCase>& info) { return info.param.name; });

TEST_F(Download, SilentServerRunsOutOfTimeBeforeTheHead) {
  server.on("/file", Answer::silence());
  Result<DownloadBody> body = start("/file", 1);
  ASSERT_FALSE(body);
  EXPECT_EQ(body.error().chain_text(), "Timeout was reached: operation timed out");
}

// The limit is a total, not a silence limit: a steady trickle still runs out.
TEST_F(Download, SteadyBodyLongerThanTheLimitRunsOutOfTime) {
  Answer answer;
  answer.pieces = std::vector<std::string>(40, "tick");
  answer.pause = std::chrono::milliseconds(100);
  server.on("/file", answer);
  Result<DownloadBody> body = start("/file", 1);
  ASSERT_TRUE(body) << body.error().chain_text();
  test::BodyReading reading = test::read_to_end(*body);
  ASSERT_TRUE(reading.error);
  EXPECT_EQ(reading.error->chain_text(), "Timeout was reached: operation timed out");
  EXPECT_LT(reading.bytes.size(), 160u);
}

struct CutCase {
  std::string name;
  Framing framing;
  std::optional<std::uint64_t> expected_length;
};

class CutBodies : public Download, public testing::WithParamInterface<CutCase> {};

// The connection is dropped without TLS close_notify in the middle of the body:
// whatever framing the body has, that is a truncation, not its end.
TEST_P(CutBodies, FailTheRead) {
  Answer answer = Answer::body("0123456789");
  answer.framing = GetParam().framing;
  if (GetParam().framing == Framing::Length) answer.content_length = 100;
  answer.ending = Ending::Cut;
  server.on("/file", answer);
  Result<DownloadBody> body = start("/file");
  ASSERT_TRUE(body) << body.error().chain_text();
  EXPECT_EQ(body->expected_length, GetParam().expected_length);
  test::BodyReading reading = test::read_to_end(*body);
  EXPECT_EQ(reading.bytes, "0123456789");
  ASSERT_TRUE(reading.error);
  EXPECT_EQ(reading.error->io_kind(), IoKind::Other);
  EXPECT_FALSE(reading.error->message().empty());
}

INSTANTIATE_TEST_SUITE_P(Framings, CutBodies,
                         testing::Values(CutCase{"AnnouncedLength", Framing::Length, 100},
                                         CutCase{"Chunked", Framing::Chunked, std::nullopt},
                                         CutCase{"ConnectionEnd", Framing::Close, std::nullopt}),
                         [](const testing::TestParamInfo<CutCase>& info) { return info.param.name; });

struct HostileCase {
  std::string name;
  Answer answer;
  std::string_view error_fragment;  // found in the error of start_download
  // Short only for the answer that waits for it; every other answer's own
  // error must win, however slowly a loaded machine gets there.
  std::uint64_t timeout_seconds = test::kGenerousSeconds;
};

class HostileHeads : public Download, public testing::WithParamInterface<HostileCase> {};

// None of these blocks the reader beyond the time limit, and each ends in an error.
TEST_P(HostileHeads, FailTheStart) {
  server.on("/file", GetParam().answer);
  Result<DownloadBody> body = start("/file", GetParam().timeout_seconds);
  ASSERT_FALSE(body);
  EXPECT_NE(body.error().chain_text().find(GetParam().error_fragment), std::string::npos)
      << body.error().chain_text();
}

constexpr std::string_view kUnsupportedCoding = "Unsupported Transfer-Encoding";
constexpr std::string_view kInvalidLength = "Invalid Content-Length";
// "hello" in gzip's form.
constexpr std::string_view kGzipHello{
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\xff\xcb\x48\xcd\xc9\xc9\x07\x00\x86\xa6\x10\x36\x05\x00\x00\x00",
    25};

Answer endless_headers() {
  std::string head = "HTTP/1.1 200 OK\r\n";
  for (int i = 0; head.size() < 2 * 1024 * 1024; ++i) head += "X-Padding-" + std::to_string(i) + ": yes\r\n";
  Answer answer = raw(head);
  answer.ending = Ending::Stall;
  return answer;
}

Answer unfinished_head() {
  Answer answer = raw("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n");
  answer.ending = Ending::Stall;
  return answer;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, HostileHeads,
    testing::Values(HostileCase{"NoHttpAtAll", raw("SSH-2.0-OpenSSH_9.2\r\nthis is no HTTP\r\n\r\n"),
                                "HTTP/0.9"},
                    HostileCase{"EndlessHeaders", endless_headers(), "Too large response headers"},
                    HostileCase{"HeadThatNeverEnds", unfinished_head(), "operation timed out", 2},
                    // Nothing asked for a coding, and decoding multiplies what a server can push.
                    HostileCase{"GzipThenChunked",
                                raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n19\r\n" +
                                    std::string(kGzipHello) + "\r\n0\r\n\r\n"),
                                kUnsupportedCoding},
                    HostileCase{"ChunkedTwice",
                                raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n"
                                    "Transfer-Encoding: chunked\r\n\r\n0\r\n\r\n"),
                                kUnsupportedCoding},
                    HostileCase{"Identity",
                                raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\n"
                                    "Content-Length: 2\r\n\r\nok"),
                                kUnsupportedCoding},
                    HostileCase{"LengthAboveTheLargestCount",
                                raw("HTTP/1.1 200 OK\r\nContent-Length: 18446744073709551616\r\n\r\nabc"),
                                kInvalidLength},
                    HostileCase{"LengthThatIsNoNumber", raw("HTTP/1.1 200 OK\r\nContent-Length: 12ab\r\n\r\n"),
                                kInvalidLength},
                    HostileCase{"SignedLength", raw("HTTP/1.1 200 OK\r\nContent-Length: +3\r\n\r\nabc"),
                                kInvalidLength},
                    HostileCase{"EmptyLength", raw("HTTP/1.1 200 OK\r\nContent-Length: \r\n\r\nabc"),
                                kInvalidLength},
                    HostileCase{"LengthList", raw("HTTP/1.1 200 OK\r\nContent-Length: 3, 3\r\n\r\nabc"),
                                kInvalidLength},
                    HostileCase{"LengthsThatDisagree",
                                raw("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd"),
                                kInvalidLength},
                    HostileCase{"InvalidLengthBesideChunked",
                                raw("HTTP/1.1 200 OK\r\nContent-Length: many\r\nTransfer-Encoding: chunked\r\n\r\n"
                                    "3\r\nabc\r\n0\r\n\r\n"),
                                kInvalidLength}),
    [](const testing::TestParamInfo<HostileCase>& info) { return info.param.name; });

struct HugeLengthCase {
  std::string name;
  std::uint64_t announced;
  Ending ending;
};

class HugeAnnouncedLengths : public Download, public testing::WithParamInterface<HugeLengthCase> {};

// Whatever length a server announces goes to the caller unchanged, who judges
// it; a body that ends short of it, however it ends, is cut.
TEST_P(HugeAnnouncedLengths, AreReportedAsIs) {
  Answer answer = raw("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(GetParam().announced) +
                      "\r\n\r\nabc");
  answer.ending = GetParam().ending;
  server.on("/file", answer);
  Result<DownloadBody> body = start("/file");
  ASSERT_TRUE(body) << body.error().chain_text();
  EXPECT_EQ(body->expected_length, GetParam().announced);
  test::BodyReading reading = test::read_to_end(*body);
  EXPECT_EQ(reading.bytes, "abc");
  ASSERT_TRUE(reading.error);
  EXPECT_EQ(reading.error->io_kind(), IoKind::Other);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, HugeAnnouncedLengths,
    testing::Values(HugeLengthCase{"LargestSigned", 9223372036854775807ull, Ending::Cut},
                    // Beyond what curl keeps, so it would read the body to the connection's
                    // end, which here comes with close_notify.
                    HugeLengthCase{"SmallestBeyondSigned", 9223372036854775808ull, Ending::Complete},
                    HugeLengthCase{"LargestCount", 18446744073709551615ull, Ending::Complete}),
    [](const testing::TestParamInfo<HugeLengthCase>& info) { return info.param.name; });

// How many body bytes the server got out before it had to wait for the client:
// the count once it has stood still for a while (or the whole body went out).
// A loaded machine can only make it stop early, at a smaller count, and the
// tests bound the count from above.
std::uint64_t sent_until_blocked(const test::TlsServer& server, std::uint64_t body_size) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::uint64_t sent = server.sent_body_bytes();
  int still = 0;
  while (sent < body_size && still < 10 && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::uint64_t now = server.sent_body_bytes();
    still = now == sent ? still + 1 : 0;
    sent = now;
  }
  return sent;
}

constexpr std::uint64_t kLaggedBodySize = 128ull * 1024 * 1024;
// The queue's few MiB, with room for what the sockets of both ends hold.
constexpr std::uint64_t kMostHeldBack = 48ull * 1024 * 1024;
// The whole body takes seconds on an idle machine, but many times that under
// a sanitizer on a machine that is busy with other work.
constexpr std::uint64_t kLaggedBodySeconds = 20 * test::kGenerousSeconds;

class LaggingReader : public Download {
 protected:
  void SetUp() override {
    Download::SetUp();
    Answer answer;
    answer.generated_size = kLaggedBodySize;
    server.on("/big", answer);
  }
};

// A reader that does not keep up holds the transfer back instead of letting
// the body pile up in memory; once it reads again, the whole body follows.
TEST_F(LaggingReader, HoldsTheTransferBack) {
  Result<DownloadBody> body = start("/big", kLaggedBodySeconds);
  ASSERT_TRUE(body) << body.error().chain_text();
  EXPECT_LT(sent_until_blocked(server, kLaggedBodySize), kMostHeldBack);
  std::array<std::byte, kDownloadBufferSize> buffer;
  std::uint64_t offset = 0;
  bool intact = true;
  for (;;) {
    Result<std::size_t> got = read_download_body(*body, buffer);
    ASSERT_TRUE(got) << got.error().chain_text();
    if (*got == 0) break;
    intact = intact && test::is_generated(offset, std::span(buffer).first(*got));
    offset += *got;
  }
  EXPECT_EQ(offset, kLaggedBodySize);
  EXPECT_TRUE(intact);
}

// Held back, the request still runs out of time; what came before is read first.
TEST_F(LaggingReader, TimeLimitHoldsWhileHeldBack) {
  Result<DownloadBody> body = start("/big", 1);
  ASSERT_TRUE(body) << body.error().chain_text();
  EXPECT_LT(sent_until_blocked(server, kLaggedBodySize), kMostHeldBack);
  // The held-back worker ends only once its time is up.
  EXPECT_TRUE(test::workers_finished(client));
  test::BodyReading reading = test::read_to_end(*body);
  EXPECT_LT(reading.bytes.size(), kLaggedBodySize);
  ASSERT_TRUE(reading.error);
  EXPECT_EQ(reading.error->chain_text(), "Timeout was reached: operation timed out");
}

// A cancelled reader lets go of its body; the held-back worker then ends
// without waiting for its time limit.
TEST_F(LaggingReader, CancelEndsTheHeldBackWorker) {
  {
    Result<DownloadBody> body = start("/big", 300);
    ASSERT_TRUE(body) << body.error().chain_text();
    EXPECT_LT(sent_until_blocked(server, kLaggedBodySize), kMostHeldBack);
    cancel.set();
    EXPECT_EQ(read_once(*body), "<Interrupted: Preparation cancelled>");
  }
  EXPECT_TRUE(test::workers_finished(client));
}

// Requests the client cannot make fail without reaching any server.
TEST_F(Download, UnusableUrlsFailBeforeAnyRequest) {
  const std::string other_scheme = "ftp://127.0.0.1:" + std::to_string(server.port()) + "/file";
  const std::pair<std::string, std::string> cases[] = {
      {"not a url", "URL using bad/illegal format or missing URL: "},
      {"mailto:someone@example.com", "URL using bad/illegal format or missing URL"},
      {other_scheme, "Unsupported protocol"},
  };
  for (const auto& [url, expected_start] : cases) {
    Result<DownloadBody> body = start_download(client, url, test::kGenerousSeconds, cancel);
    ASSERT_FALSE(body) << url;
    EXPECT_TRUE(body.error().chain_text().starts_with(expected_start)) << body.error().chain_text();
  }
  EXPECT_TRUE(server.requests().empty());
}

}  // namespace
}  // namespace orvo::core
