// The bound of the queue between a download worker and its reader.
#include "core/net/download_queue.hpp"

#include <gtest/gtest.h>

#include <algorithm>
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

// Used chunk buffers go back to the worker, but only a few: the pool must not
// grow with the body.
TEST(DownloadQueue, HandedBackBuffersAreFilledAgainUpToTheirBound) {
  auto [sender, receiver] = make_download_queue();
  std::vector<const std::byte*> handed;
  for (std::size_t i = 0; i < kSpareChunkBuffers + 2; ++i) {
    std::vector<std::byte> buffer(kDownloadChunkLimit);
    handed.push_back(buffer.data());
    receiver.hand_back(std::move(buffer));
  }
  // The first ones handed back are the ones kept, whatever order they come out in.
  const std::vector<const std::byte*> kept(handed.begin(), handed.begin() + kSpareChunkBuffers);
  std::vector<std::vector<std::byte>> taken;
  for (std::size_t i = 0; i < kSpareChunkBuffers; ++i) {
    taken.push_back(sender.chunk_buffer());
    EXPECT_TRUE(taken.back().empty()) << i;
    EXPECT_NE(std::ranges::find(kept, taken.back().data()), kept.end()) << i;
  }
  // With the pool empty, a buffer is new and still of a whole chunk's size.
  EXPECT_EQ(sender.chunk_buffer().capacity(), kDownloadChunkLimit);
}

}  // namespace
}  // namespace orvo::core
