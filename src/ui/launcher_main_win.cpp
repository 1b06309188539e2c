#include <memory>
#include <optional>
#include <utility>

#include "platform/desktop/message_box.hpp"
#include "platform/desktop/screen_dpi.hpp"
#include "ui/attempt_control.hpp"
#include "ui/launcher_main.hpp"
#include "ui/launcher_texts.hpp"
#include "ui/launcher_view_win.hpp"
#include "ui/log_location.hpp"
#include "ui/start_checks.hpp"

namespace orvo::ui {

int run_launcher(core::PreparationSettings settings) {
  std::optional<platform::SessionMutex> instance = pass_start_checks();
  if (!instance) return 0;
  register_launcher_class();
  // Read once: the window never changes its layout afterwards.
  const WindowLayout layout = layout_for_dpi(platform::screen_dpi());
  auto view = std::make_unique<Win32LauncherView>(layout);
  if (view->window() == nullptr) return 0;

  auto [sender, receiver] = core::make_channel<core::WorkerMessage>();
  auto log_path = choose_log_path();
  if (!log_path) {
    // Neither the cache root nor the temporary folder: no attempt could log.
    // The box comes while the hidden window still stands: destroying it
    // first would post the quit message that ends the box's own loop.
    platform::show_message_box(kCaption, kCouldNotStartText, platform::MessageIcon::Error);
    return 0;
  }
  auto record = std::make_unique<LauncherWindow>(LauncherWindow{
      .receiver = std::move(receiver),
      .sender = std::move(sender),
      .log_path = std::move(*log_path),
      .cancel = core::CancelFlag{},
      .window = view.get(),
      .attempt = preparation_body(std::move(settings)),
      .busy = false});
  view->attach(record.get());
  start_attempt(*record);
  view->show();
  run_message_loop(view->window());

  // An attempt that still runs stops at its next check; its thread is never joined.
  record->cancel.set();
  view->delete_fonts();
  instance.reset();
  record.reset();
  view.reset();
  return 0;
}

}  // namespace orvo::ui
