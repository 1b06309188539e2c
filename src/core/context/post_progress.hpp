// The Progress messages an attempt posts to the launcher window.
#pragma once

#include <cstdint>
#include <string>

#include "core/context/worker_message.hpp"

namespace orvo::core {

// Sends a Progress message; when the window is gone the message is dropped unreported.
void post_progress(WorkerSender& sender, std::string text, ProgressMode mode, std::uint32_t percent);

}  // namespace orvo::core
