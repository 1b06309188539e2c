// The reader's side of the event protocol, fed by hand instead of a worker.
#include "core/net/download_body.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/net/download_fixture.hpp"

namespace orvo::core {
namespace {

DownloadEvent chunk(const std::string& text) {
  const auto* bytes = reinterpret_cast<const std::byte*>(text.data());
  return DownloadChunk{{bytes, bytes + text.size()}};
}

struct ProtocolCase {
  std::string name;
  std::vector<DownloadEvent> events;  // then the worker goes away
  std::string head_error;             // "" when start succeeds
  std::optional<std::uint64_t> expected_length;
  std::vector<std::string> reads;  // test::read_once of each read after the head
};

class DownloadProtocol : public testing::TestWithParam<ProtocolCase> {};

TEST_P(DownloadProtocol, ReaderSeesTheEventsInOrder) {
  auto [sender, receiver] = make_download_queue();
  for (const DownloadEvent& event : GetParam().events) ASSERT_TRUE(sender.send(event));
  { auto gone = std::move(sender); }

  Result<DownloadBody> body = await_download_head(std::move(receiver), CancelFlag());
  if (!GetParam().head_error.empty()) {
    ASSERT_FALSE(body);
    EXPECT_EQ(body.error().chain_text(), GetParam().head_error);
    return;
  }
  ASSERT_TRUE(body) << body.error().chain_text();
  EXPECT_EQ(body->expected_length, GetParam().expected_length);
  std::vector<std::string> reads;
  for (std::size_t i = 0; i < GetParam().reads.size(); ++i) reads.push_back(test::read_once(*body));
  EXPECT_EQ(reads, GetParam().reads);
}

const std::string kOverSized(kDownloadBufferSize + 10, 'z');

INSTANTIATE_TEST_SUITE_P(
    Sequences, DownloadProtocol,
    testing::Values(
        ProtocolCase{"WholeBody",
                     {DownloadLength{5}, chunk("ab"), chunk("cde"), DownloadFinished{}},
                     "",
                     5,
                     {"ab", "cde", "<end>", "<end>"}},
        ProtocolCase{"EmptyBody", {DownloadLength{0}, DownloadFinished{}}, "", 0, {"<end>", "<end>"}},
        ProtocolCase{"ChunkLargerThanTheBuffer",
                     {DownloadLength{std::nullopt}, chunk(kOverSized), DownloadFinished{}},
                     "",
                     std::nullopt,
                     {kOverSized.substr(0, kDownloadBufferSize), "zzzzzzzzzz", "<end>"}},
        ProtocolCase{"EmptyChunkIsNoEnd",
                     {DownloadLength{1}, chunk(""), chunk("x"), DownloadFinished{}},
                     "",
                     1,
                     {"x", "<end>"}},
        ProtocolCase{"FailureMidBody",
                     {DownloadLength{9}, chunk("abc"), DownloadFailed{"Timeout was reached: operation timed out"}},
                     "",
                     9,
                     {"abc", "<Other: Timeout was reached: operation timed out>"}},
        ProtocolCase{"SecondLength",
                     {DownloadLength{1}, DownloadLength{2}},
                     "",
                     1,
                     {"<Other: Unexpected download headers>"}},
        ProtocolCase{"WorkerGoneMidBody",
                     {DownloadLength{4}, chunk("ab")},
                     "",
                     4,
                     {"ab", "<UnexpectedEof: Download worker stopped>",
                      "<UnexpectedEof: Download worker stopped>"}},
        ProtocolCase{"WorkerGoneBeforeTheHead", {}, "Download worker stopped", std::nullopt, {}},
        ProtocolCase{"FailureBeforeTheHead",
                     {DownloadFailed{"Couldn't connect to server: refused"}},
                     "Couldn't connect to server: refused",
                     std::nullopt,
                     {}},
        ProtocolCase{"ChunkFirst", {chunk("x")}, "Invalid download response", std::nullopt, {}},
        ProtocolCase{"FinishedFirst", {DownloadFinished{}}, "Invalid download response", std::nullopt,
                     {}}),
    [](const testing::TestParamInfo<ProtocolCase>& info) { return info.param.name; });

// A failure's text is the message itself, not a chain of one error wrapping another.
TEST(DownloadProtocolErrors, FailedTextBecomesOneMessage) {
  auto [sender, receiver] = make_download_queue();
  sender.send(DownloadFailed{"outer: inner"});
  Result<DownloadBody> body = await_download_head(std::move(receiver), CancelFlag());
  ASSERT_FALSE(body);
  EXPECT_EQ(body.error().message(), "outer: inner");
  EXPECT_EQ(body.error().cause(), nullptr);
}

// The flag is read before every wait, so queued events do not outrun a cancel.
TEST(DownloadProtocolErrors, CancelComesBeforeQueuedEvents) {
  auto [sender, receiver] = make_download_queue();
  sender.send(DownloadLength{3});
  sender.send(chunk("abc"));
  CancelFlag cancel;
  Result<DownloadBody> body = await_download_head(std::move(receiver), cancel);
  ASSERT_TRUE(body) << body.error().chain_text();
  cancel.set();
  EXPECT_EQ(test::read_once(*body), "<Interrupted: Preparation cancelled>");
}

// Dropping the body is how the reader lets go; the worker's next send then fails.
TEST(DownloadProtocolErrors, DroppedBodyRefusesFurtherEvents) {
  auto [sender, receiver] = make_download_queue();
  sender.send(DownloadLength{3});
  {
    Result<DownloadBody> body = await_download_head(std::move(receiver), CancelFlag());
    ASSERT_TRUE(body);
  }
  EXPECT_FALSE(sender.send(chunk("abc")));
}

}  // namespace
}  // namespace orvo::core
