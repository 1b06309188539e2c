#include "ui/attempt_control.hpp"

#include <algorithm>
#include <utility>
#include <variant>

#include "attempt/final_failure.hpp"
#include "ui/cancelled_host.hpp"
#include "ui/launcher_texts.hpp"

namespace orvo::ui {
namespace {

constexpr std::uint32_t kHighestPosition = 100;

void show_failure_view(LauncherWindow& record) {
  WindowOperations& window = *record.window;
  record.busy = false;
  window.set_text(Control::Status, kFailureText);
  window.set_visible(Control::Progress, false);
  window.set_visible(Control::Retry, true);
  window.set_visible(Control::Details, true);
  window.set_text(Control::Cancel, kCloseText);
  window.focus(Control::Retry);
}

void close_window(LauncherWindow& record) {
  record.busy = false;
  record.window->destroy_window();
}

}  // namespace

void set_progress_mode(WindowOperations& window, core::ProgressMode mode, std::uint32_t percent) {
  if (mode == core::ProgressMode::Determinate) {
    window.progress_position(std::min(percent, kHighestPosition));
  } else {
    window.progress_marquee();
  }
}

void start_attempt(LauncherWindow& record) {
  WindowOperations& window = *record.window;
  record.busy = true;
  // The previous attempt's thread keeps its own share of the old flag.
  record.cancel = core::CancelFlag{};
  window.set_enabled(Control::Cancel, true);
  window.set_text(Control::Status, kPreparingText);
  window.set_text(Control::Cancel, kCancelText);
  window.set_visible(Control::Retry, false);
  window.set_visible(Control::Details, false);
  window.set_visible(Control::Progress, true);
  set_progress_mode(window, core::ProgressMode::Marquee, 0);
  AttemptValues values{.sender = record.sender, .log_path = record.log_path, .cancel = record.cancel};
  if (auto started = start_attempt_thread(record.attempt, std::move(values)); !started) {
    core::report_final_failure(record.sender, record.log_path,
                               std::move(started.error()).wrap("Cannot start a preparation attempt"));
  }
}

void cancel_or_close(LauncherWindow& record) {
  if (!record.busy) {
    record.window->destroy_window();
    return;
  }
  record.cancel.set();
  record.window->set_text(Control::Status, kCancellingText);
  record.window->set_enabled(Control::Cancel, false);
}

void poll_tick(LauncherWindow& record) {
  for (;;) {
    auto message = record.receiver.try_receive();
    if (!message) return;
    const bool cancelled = record.cancel.is_set();
    if (auto* progress = std::get_if<core::Progress>(&*message)) {
      if (!cancelled) {
        record.window->set_text(Control::Status, progress->text);
        set_progress_mode(*record.window, progress->mode, progress->percent);
      }
      continue;
    }
    if (auto* launched = std::get_if<core::Launched>(&*message)) {
      platform::Process host = std::move(launched->host);
      if (cancelled) {
        end_cancelled_host(host);
        host = platform::Process{};
      }
      close_window(record);
      // A host that was not cancelled keeps running; only its process value goes here.
      return;
    }
    if (!cancelled) {
      show_failure_view(record);
      continue;
    }
    close_window(record);
    return;
  }
}

void handle_command(LauncherWindow& record, int control_id) {
  switch (control_id) {
    case kIdRetry:
      if (!record.busy) start_attempt(record);
      break;
    case kIdCancel:
      cancel_or_close(record);
      break;
    case kIdViewDetails:
      record.window->open_file(record.log_path);
      break;
    default:
      break;
  }
}

void handle_close_request(LauncherWindow* record, WindowOperations& window) {
  if (record == nullptr) {
    window.destroy_window();
    return;
  }
  cancel_or_close(*record);
}

}  // namespace orvo::ui
