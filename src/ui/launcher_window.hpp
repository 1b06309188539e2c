// The state of the progress window: one record per process, owned by the
// start-up, touched only on the window thread. The window and its controls
// are reached through the view's operations; the fonts belong to the view,
// whose toolkit they are made in.
#pragma once

#include <filesystem>

#include "base/cancel_flag.hpp"
#include "core/context/worker_message.hpp"
#include "ui/attempt_thread.hpp"
#include "ui/window_operations.hpp"

namespace orvo::ui {

struct LauncherWindow {
  // Drained on each poll tick.
  core::WorkerReceiver receiver;
  // The window's own sending end, cloned for each attempt: while the record
  // lives, the channel never reports that every sender is gone.
  core::WorkerSender sender;
  // The full path of "launcher.log", handed to each attempt and opened by View details.
  std::filesystem::path log_path;
  // The flag of the current (or last) attempt.
  core::CancelFlag cancel;
  // The main window and its controls.
  WindowOperations* window = nullptr;
  // What each attempt thread runs.
  AttemptBody attempt;
  // An attempt runs: set when it starts, cleared when its final message is handled.
  bool busy = false;
};

}  // namespace orvo::ui
