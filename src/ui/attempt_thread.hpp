// The thread of one preparation attempt: unnamed, detached, with a 2 MiB
// stack, owning what it is handed until the attempt body returns.
#pragma once

#include <filesystem>
#include <functional>

#include "attempt/preparation_settings.hpp"
#include "base/cancel_flag.hpp"
#include "base/error.hpp"
#include "core/context/worker_message.hpp"

namespace orvo::ui {

// What an attempt receives from the window: its own sending end of the
// channel, the log path and its share of a fresh cancellation flag.
struct AttemptValues {
  core::WorkerSender sender;
  std::filesystem::path log_path;
  core::CancelFlag cancel;
};

// The body an attempt thread runs; it is copied into each thread.
using AttemptBody = std::function<void(AttemptValues)>;

// The real body: run_preparation with the values and the thread's own copy of
// the settings.
void attempt_thread_main(core::PreparationSettings settings, AttemptValues values);
AttemptBody preparation_body(core::PreparationSettings settings);

// Fails with the operating-system error when no thread can be made; the values
// are then released unused.
core::Result<void> start_attempt_thread(const AttemptBody& body, AttemptValues values);

}  // namespace orvo::ui
