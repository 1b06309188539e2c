#include "attempt/preparation_attempt.hpp"

#include <utility>

#include "attempt/final_failure.hpp"
#include "attempt/launch_choice.hpp"
#include "launch/host_start.hpp"

namespace orvo::core {

namespace {

Result<void> prepare_and_open(WorkerSender& sender, const std::filesystem::path& log_path,
                              const CancelFlag& cancel, const PreparationSettings& settings) {
  auto chosen = choose_launch(settings, sender, cancel);
  if (!chosen) return fail(std::move(chosen).error());
  if (cancel.is_set()) return fail(cancelled_error());
  // The host start sends Launched itself when a host opens.
  return launch::open_host(chosen->context, std::move(chosen->candidate), sender, log_path, cancel,
                           settings.host_wait);
}

}  // namespace

void run_preparation(WorkerSender sender, std::filesystem::path log_path, CancelFlag cancel,
                     PreparationSettings settings) {
  if (auto opened = prepare_and_open(sender, log_path, cancel, settings); !opened) {
    report_final_failure(sender, log_path, opened.error());
  }
}

}  // namespace orvo::core
