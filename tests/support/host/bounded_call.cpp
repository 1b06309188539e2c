#include "support/host/bounded_call.hpp"

#include <future>
#include <thread>

namespace orvo::test {

bool ends_within(std::chrono::milliseconds bound, std::function<void()> body,
                 const std::function<void()>& release) {
  std::promise<void> ended;
  std::future<void> end = ended.get_future();
  std::thread thread([&body, &ended] {
    body();
    ended.set_value();
  });
  const bool in_time = end.wait_for(bound) == std::future_status::ready;
  if (!in_time) release();
  thread.join();
  return in_time;
}

}  // namespace orvo::test
