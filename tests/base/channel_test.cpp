#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "base/channel.hpp"

namespace orvo::core {
namespace {

using namespace std::chrono_literals;

TEST(ChannelTest, DeliversInOrderAndClosesOnlyWhenDrained) {
  auto [sender, receiver] = make_channel<int>();
  EXPECT_EQ(receiver.try_receive().error(), ReceiveError::Empty);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(sender.send(i));
  { auto dropped = std::move(sender); }
  for (int i = 0; i < 3; ++i) EXPECT_EQ(receiver.try_receive().value(), i);
  EXPECT_EQ(receiver.try_receive().error(), ReceiveError::Closed);
}

TEST(ChannelTest, SendFailsOnceTheReceiverIsGoneAndDropsTheValue) {
  auto channel = make_channel<std::shared_ptr<int>>();
  Sender<std::shared_ptr<int>> sender = channel.first;
  auto queued = std::make_shared<int>(1);
  auto refused = std::make_shared<int>(2);
  EXPECT_TRUE(sender.send(queued));
  { auto receiver = std::move(channel.second); }
  EXPECT_FALSE(sender.send(refused));
  // Neither the queued nor the refused value is kept alive by the channel.
  EXPECT_EQ(queued.use_count(), 1);
  EXPECT_EQ(refused.use_count(), 1);
}

TEST(ChannelTest, ReceiveUntilTellsNothingYetFromClosed) {
  auto [sender, receiver] = make_channel<int>();
  EXPECT_EQ(receiver.receive_until(std::chrono::steady_clock::now() + 10ms).error(),
            ReceiveError::Empty);
  // The pause makes a receiver that already waits the likely case; the
  // message must come either way, so it orders nothing the test relies on.
  std::thread late([s = std::move(sender)]() mutable {
    std::this_thread::sleep_for(20ms);
    s.send(7);
  });
  // A generous bound: the wait ends when the message arrives, not at the deadline.
  EXPECT_EQ(receiver.receive_until(std::chrono::steady_clock::now() + 60s).value(), 7);
  late.join();
  EXPECT_EQ(receiver.receive_until(std::chrono::steady_clock::now() + 60s).error(),
            ReceiveError::Closed);
}

TEST(ChannelTest, EverySenderCopyMustGoBeforeItCloses) {
  auto [sender, receiver] = make_channel<int>();
  std::vector<std::thread> producers;
  for (int p = 0; p < 4; ++p) {
    producers.emplace_back([copy = sender, p]() mutable {
      for (int i = 0; i < 1000; ++i) copy.send(p * 1000 + i);
    });
  }
  { auto dropped = std::move(sender); }
  std::vector<int> last(4, -1);
  int count = 0;
  for (;;) {
    auto message = receiver.receive_until(std::chrono::steady_clock::now() + 60s);
    if (!message) {
      ASSERT_EQ(message.error(), ReceiveError::Closed);
      break;
    }
    const int producer = *message / 1000;
    EXPECT_GT(*message % 1000, last[producer]) << "one producer's messages stay in order";
    last[producer] = *message % 1000;
    ++count;
  }
  for (auto& t : producers) t.join();
  EXPECT_EQ(count, 4000);
}

}  // namespace
}  // namespace orvo::core
