#include "ui/attempt_thread.hpp"

#include <utility>

#include "attempt/preparation_attempt.hpp"
#include "platform/thread.hpp"

namespace orvo::ui {

void attempt_thread_main(core::PreparationSettings settings, AttemptValues values) {
  core::run_preparation(std::move(values.sender), std::move(values.log_path),
                        std::move(values.cancel), std::move(settings));
}

AttemptBody preparation_body(core::PreparationSettings settings) {
  return [settings = std::move(settings)](AttemptValues values) {
    attempt_thread_main(settings, std::move(values));
  };
}

core::Result<void> start_attempt_thread(const AttemptBody& body, AttemptValues values) {
  return platform::start_detached_thread(
      [body, values = std::move(values)]() mutable { body(std::move(values)); });
}

}  // namespace orvo::ui
