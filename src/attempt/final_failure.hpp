// How an attempt ends when it cannot start a host: the error's chain text
// becomes one log line and the one Failed message, word for word the same.
#pragma once

#include <filesystem>

#include "base/error.hpp"
#include "core/context/worker_message.hpp"

namespace orvo::core {

// Logging errors and a window that is gone are ignored.
void report_final_failure(WorkerSender& sender, const std::filesystem::path& log_path,
                          const Error& error);

}  // namespace orvo::core
