// Everything of an attempt before the host start: the configuration, the
// update path and, when the update fails, the fallback to the newest intact
// working version. The error is the attempt's final one.
#pragma once

#include "attempt/preparation_settings.hpp"
#include "base/cancel_flag.hpp"
#include "base/error.hpp"
#include "core/cache/versions_cache.hpp"
#include "core/context/preparation_context.hpp"
#include "core/context/worker_message.hpp"

namespace orvo::core {

struct ChosenLaunch {
  PreparationContext context;
  LaunchCandidate candidate;
};

Result<ChosenLaunch> choose_launch(const PreparationSettings& settings, WorkerSender& sender,
                                   const CancelFlag& cancel);

}  // namespace orvo::core
