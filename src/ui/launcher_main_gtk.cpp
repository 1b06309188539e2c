#include <gtk/gtk.h>
#include <unistd.h>

#include <utility>

#include "platform/desktop/message_box.hpp"
#include "platform/desktop/screen_dpi.hpp"
#include "ui/attempt_control.hpp"
#include "ui/launcher_main.hpp"
#include "ui/launcher_texts.hpp"
#include "ui/launcher_view_gtk.hpp"
#include "ui/log_location.hpp"
#include "ui/start_checks.hpp"

// Last: its macros (None, for one) clash with names of ours.
#include <X11/Xlib.h>

namespace orvo::ui {
namespace {

// The display went away under the window: the message loop cannot go on, and
// the launcher ends as when its loop ends, with exit code 0 (GTK's own
// handler would end it with 1). Xlib allows no return from here; what the
// process holds, its session name included, goes with it.
int on_lost_display(Display*) { _exit(0); }

}  // namespace

int run_launcher(core::PreparationSettings settings) {
  // Without a display no box or window can be shown; the launcher then ends
  // showing nothing. GTK sets its own handler as it connects, so ours follows,
  // and before the first box, which the display may leave too.
  if (gtk_init_check(nullptr, nullptr) == FALSE) return 0;
  XSetIOErrorHandler(on_lost_display);
  std::optional<platform::SessionMutex> instance = pass_start_checks();
  if (!instance) return 0;
  auto log_path = choose_log_path();
  if (!log_path) {
    platform::show_message_box(kCaption, kCouldNotStartText, platform::MessageIcon::Error);
    return 0;
  }

  // Read once: the window never changes its layout afterwards.
  const WindowLayout layout = layout_for_dpi(platform::screen_dpi());
  auto view = std::make_unique<GtkLauncherView>(layout);
  auto [sender, receiver] = core::make_channel<core::WorkerMessage>();
  LauncherWindow record{.receiver = std::move(receiver),
                        .sender = std::move(sender),
                        .log_path = std::move(*log_path),
                        .cancel = core::CancelFlag{},
                        .window = view.get(),
                        .attempt = preparation_body(std::move(settings)),
                        .busy = false};
  view->attach(&record);
  start_attempt(record);
  view->show();
  gtk_main();

  // An attempt that still runs stops at its next check; its thread is never joined.
  record.cancel.set();
  view.reset();
  instance.reset();
  return 0;
}

}  // namespace orvo::ui
