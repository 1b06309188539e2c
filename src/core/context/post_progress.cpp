#include "core/context/post_progress.hpp"

#include <utility>

namespace orvo::core {

void post_progress(WorkerSender& sender, std::string text, ProgressMode mode, std::uint32_t percent) {
  sender.send(Progress{.text = std::move(text), .mode = mode, .percent = percent});
}

}  // namespace orvo::core
