// The bound of the queue between a download worker and its reader.
#include "core/net/download_queue.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <vector>

namespace orvo::core {
namespace {

using Wait = DownloadEventSender::Wait;

constexpr std::chrono::seconds kGenerous{30};

DownloadEvent full_chunk() { return DownloadChunk{std::vector<std::byte>(kDownloadChunkLimit)}; }

std::chrono::steady_clock::time_point soon() { return std::chrono::steady_clock::now(); }

// Fills the queue to its limit with full chunks.
void fill(DownloadEventSender& sender) {
  while (!sender.full()) ASSERT_TRUE(sender.send(full_chunk()));
}

TEST(DownloadQueue, FullAtTheLimitAndRoomyAgainAtHalf) {
  auto [sender, receiver] = make_download_queue();
  ASSERT_TRUE(sender.send(DownloadLength{std::nullopt}));
  fill(sender);
  // The terminal events are never held back.
  EXPECT_TRUE(sender.send(DownloadFinished{}));
  ASSERT_TRUE(receiver.receive_until(soon()));  // the length
  EXPECT_EQ(sender.wait_for_room(std::chrono::milliseconds(0)), Wait::TimedOut);
  const std::size_t chunks = kDownloadQueueLimit / kDownloadChunkLimit;
  for (std::size_t taken = 0; taken < chunks / 2; ++taken) {
    EXPECT_EQ(sender.wait_for_room(std::chrono::milliseconds(0)), Wait::TimedOut) << taken;
    ASSERT_TRUE(receiver.receive_until(soon()));
  }
  EXPECT_FALSE(sender.full());
  EXPECT_EQ(sender.wait_for_room(std::chrono::milliseconds(0)), Wait::Room);
}

// Small chunks count by their bytes, not as whole chunks.
TEST(DownloadQueue, CountsBytes) {
  auto [sender, receiver] = make_download_queue();
  for (std::size_t sent = 0; sent < kDownloadQueueLimit - 1; sent += 1000) {
    ASSERT_TRUE(sender.send(DownloadChunk{std::vector<std::byte>(1000)}));
    ASSERT_EQ(sender.full(), sent + 1000 >= kDownloadQueueLimit);
  }
}

TEST(DownloadQueue, WaitingWorkerIsWokenByTheReader) {
  auto [sender, receiver] = make_download_queue();
  fill(sender);
  std::future<Wait> waited =
      std::async(std::launch::async, [&sender] { return sender.wait_for_room(kGenerous); });
  for (std::size_t i = 0; i < kDownloadQueueLimit / kDownloadChunkLimit / 2; ++i) {
    ASSERT_TRUE(receiver.receive_until(soon()));
  }
  EXPECT_EQ(waited.get(), Wait::Room);
}

TEST(DownloadQueue, WaitingWorkerLearnsThatTheReaderIsGone) {
  auto [sender, receiver] = make_download_queue();
  fill(sender);
  std::future<Wait> waited =
      std::async(std::launch::async, [&sender] { return sender.wait_for_room(kGenerous); });
  { auto gone = std::move(receiver); }
  EXPECT_EQ(waited.get(), Wait::ReaderGone);
  EXPECT_FALSE(sender.send(DownloadFinished{}));
}

}  // namespace
}  // namespace orvo::core
