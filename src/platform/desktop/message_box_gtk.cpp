#include <gtk/gtk.h>

#include <string>

#include "platform/desktop/message_box.hpp"

namespace orvo::platform {

void show_message_box(std::string_view caption, std::string_view text, MessageIcon icon) {
  if (gtk_init_check(nullptr, nullptr) == FALSE) return;
  const bool error = icon == MessageIcon::Error;
  const std::string message(text);
  GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL,
                                          error ? GTK_MESSAGE_ERROR : GTK_MESSAGE_INFO,
                                          GTK_BUTTONS_OK, "%s", message.c_str());
  gtk_window_set_title(GTK_WINDOW(box), std::string(caption).c_str());
  gtk_window_set_role(GTK_WINDOW(box), error ? "orvo-error" : "orvo-information");
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
  gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
  // The box leaves the screen before the caller goes on.
  while (gtk_events_pending() != FALSE) gtk_main_iteration();
}

}  // namespace orvo::platform
