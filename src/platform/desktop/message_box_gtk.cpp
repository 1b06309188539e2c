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
  // GTK 3's message dialog draws no icon of its own for its message types; the
  // themed one goes where it did, before the text.
  GtkWidget* image = gtk_image_new_from_icon_name(error ? "dialog-error" : "dialog-information",
                                                  GTK_ICON_SIZE_DIALOG);
  gtk_widget_set_valign(image, GTK_ALIGN_START);
  GtkWidget* row =
      gtk_widget_get_parent(gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(box)));
  if (GTK_IS_BOX(row)) {
    gtk_box_pack_start(GTK_BOX(row), image, FALSE, FALSE, 0);
    gtk_box_reorder_child(GTK_BOX(row), image, 0);
    gtk_widget_show(image);
  }
  gtk_window_set_title(GTK_WINDOW(box), std::string(caption).c_str());
  gtk_window_set_role(GTK_WINDOW(box), error ? "orvo-error" : "orvo-information");
  gtk_window_set_position(GTK_WINDOW(box), GTK_WIN_POS_CENTER);
  gtk_dialog_run(GTK_DIALOG(box));
  gtk_widget_destroy(box);
  // The box leaves the screen before the caller goes on.
  while (gtk_events_pending() != FALSE) gtk_main_iteration();
}

}  // namespace orvo::platform
