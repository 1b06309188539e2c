// What a preparation attempt tells the launcher window: any number of Progress
// messages, then exactly one Launched or Failed.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "base/channel.hpp"
#include "platform/process.hpp"

namespace orvo::core {

enum class ProgressMode { Marquee, Determinate };

struct Progress {
  std::string text;
  ProgressMode mode = ProgressMode::Marquee;
  std::uint32_t percent = 0;  // meaningless in Marquee mode
};

// The started host; dropping the message releases the handles and leaves the host running.
struct Launched {
  platform::Process host;
};

// The whole error chain as one line, already written to the log.
struct Failed {
  std::string text;
};

using WorkerMessage = std::variant<Progress, Launched, Failed>;
using WorkerSender = Sender<WorkerMessage>;
using WorkerReceiver = Receiver<WorkerMessage>;

}  // namespace orvo::core
