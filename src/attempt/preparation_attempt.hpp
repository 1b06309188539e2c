// One preparation attempt from start to end, on the thread the launcher window
// starts for it: the configuration, the update or the fallback, the host start.
// It reports through the channel only: Progress messages, then exactly one
// Launched or Failed.
#pragma once

#include <filesystem>

#include "attempt/preparation_settings.hpp"
#include "base/cancel_flag.hpp"
#include "core/context/post_progress.hpp"
#include "core/context/worker_message.hpp"

namespace orvo::core {

// Never fails: the attempt's final error is logged and sent as Failed. It
// owns its arguments, the settings too, since its thread may outlive the
// caller; they are released when it returns.
void run_preparation(WorkerSender sender, std::filesystem::path log_path, CancelFlag cancel,
                     PreparationSettings settings);

}  // namespace orvo::core
