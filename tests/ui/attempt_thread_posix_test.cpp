// The attempt thread's pthread attributes: detached, with a stack of its own size.
#include "ui/attempt_thread.hpp"

#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <string>

namespace orvo::ui {
namespace {

TEST(AttemptThread, IsDetachedWithTwoMebibytesOfStack) {
  auto [sender, receiver] = core::make_channel<core::WorkerMessage>();
  const AttemptBody look = [](AttemptValues values) {
    pthread_attr_t attributes;
    std::size_t stack = 0;
    int detached = -1;
    if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
      pthread_attr_getstacksize(&attributes, &stack);
      pthread_attr_getdetachstate(&attributes, &detached);
      pthread_attr_destroy(&attributes);
    }
    values.sender.send(core::Progress{.text = std::to_string(stack) + " " +
                                              (detached == PTHREAD_CREATE_DETACHED ? "detached" : "joinable"),
                                      .mode = core::ProgressMode::Marquee,
                                      .percent = 0});
  };
  ASSERT_TRUE(start_attempt_thread(look, {.sender = sender, .log_path = {}, .cancel = {}}));
  auto message = receiver.receive_until(std::chrono::steady_clock::now() + std::chrono::seconds(20));
  ASSERT_TRUE(message);
  EXPECT_EQ(std::get<core::Progress>(*message).text, std::to_string(2 * 1024 * 1024) + " detached");
}

}  // namespace
}  // namespace orvo::ui
