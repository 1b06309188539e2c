#include "platform/thread.hpp"

#include <gtest/gtest.h>
#include <pthread.h>

#include <chrono>
#include <future>
#include <string>

namespace orvo::platform {
namespace {

struct SeenByTheThread {
  std::string name;
  std::size_t stack_size = 0;
  int detach_state = -1;
};

SeenByTheThread look_around() {
  SeenByTheThread seen;
  char name[16] = {};
  pthread_getname_np(pthread_self(), name, sizeof name);
  seen.name = name;
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) == 0) {
    pthread_attr_getstacksize(&attributes, &seen.stack_size);
    pthread_attr_getdetachstate(&attributes, &seen.detach_state);
    pthread_attr_destroy(&attributes);
  }
  return seen;
}

std::string own_name() {
  char name[16] = {};
  pthread_getname_np(pthread_self(), name, sizeof name);
  return name;
}

struct ThreadCase {
  std::string label;
  std::string requested;
  std::string expected;  // "" stands for the starting thread's name
};

class DetachedThread : public testing::TestWithParam<ThreadCase> {};

TEST_P(DetachedThread, RunsWithNameAndStack) {
  std::promise<SeenByTheThread> promise;
  std::future<SeenByTheThread> future = promise.get_future();
  core::Result<void> started = start_detached_thread(
      [promise = std::move(promise)]() mutable { promise.set_value(look_around()); },
      GetParam().requested);
  ASSERT_TRUE(started) << started.error().chain_text();
  ASSERT_EQ(future.wait_for(std::chrono::seconds(30)), std::future_status::ready);
  const SeenByTheThread seen = future.get();
  EXPECT_EQ(seen.name, GetParam().expected.empty() ? own_name() : GetParam().expected);
  EXPECT_GE(seen.stack_size, kThreadStackSize);
  EXPECT_EQ(seen.detach_state, PTHREAD_CREATE_DETACHED);
}

INSTANTIATE_TEST_SUITE_P(Names, DetachedThread,
                         testing::Values(ThreadCase{"Named", "orvo-download", "orvo-download"},
                                         ThreadCase{"Unnamed", "", ""},
                                         // Longer than the system keeps: the thread runs unnamed.
                                         ThreadCase{"NameTooLong", "a-name-of-twenty-chars", ""}),
                         [](const testing::TestParamInfo<ThreadCase>& info) { return info.param.label; });

}  // namespace
}  // namespace orvo::platform
