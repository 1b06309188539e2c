#include "ui/cancelled_host.hpp"

#include <thread>

#include "platform/host/process_control.hpp"

namespace orvo::ui {

void end_cancelled_host(const platform::Process& host, std::chrono::milliseconds wait) {
  // A host that has already exited counts as ended; the wait below sees that at once.
  (void)platform::end_process(host, kCancelledHostExitCode);
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    auto ended = platform::exit_code_if_ended(host);
    if (!ended || ended->has_value()) return;
    if (std::chrono::steady_clock::now() >= deadline) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace orvo::ui
