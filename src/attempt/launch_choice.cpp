#include "attempt/launch_choice.hpp"

#include <utility>

#include "attempt/configuration.hpp"
#include "attempt/release_update.hpp"
#include "core/context/post_progress.hpp"

namespace orvo::core {

Result<ChosenLaunch> choose_launch(const PreparationSettings& settings, WorkerSender& sender,
                                   const CancelFlag& cancel) {
  auto context = configure_attempt(settings, cancel);
  if (!context) return fail(std::move(context).error());

  auto updated = update_release(*context, settings.client, sender, cancel);
  // A cancelled attempt never falls back, whatever the update achieved.
  if (cancel.is_set()) return fail(cancelled_error());
  if (updated) return ChosenLaunch{std::move(*context), std::move(*updated)};

  post_progress(sender, "Could not update. Checking the saved version…", ProgressMode::Marquee, 0);
  auto fallback = find_fallback_version(*context, {}, cancel);
  if (!fallback) {
    return fail(Error(
        "ORVO could not be prepared, and no verified working copy is available (" +
            fallback.error().chain_text() + ")",
        std::move(updated).error()));
  }
  post_progress(sender, "Starting your previously installed version…", ProgressMode::Determinate,
                100);
  return ChosenLaunch{std::move(*context), std::move(*fallback)};
}

}  // namespace orvo::core
