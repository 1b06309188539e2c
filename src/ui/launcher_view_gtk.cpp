#include "ui/launcher_view_gtk.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/desktop/default_program.hpp"
#include "ui/attempt_control.hpp"
#include "ui/launcher_texts.hpp"

namespace orvo::ui {
namespace {

constexpr std::string_view kPreferredFamily = "Segoe UI";
constexpr double kPulseStep = 0.02;
constexpr std::array<Control, 3> kTabOrder = {Control::Retry, Control::Cancel, Control::Details};

bool family_installed(std::string_view name) {
  PangoFontFamily** families = nullptr;
  int count = 0;
  pango_font_map_list_families(pango_cairo_font_map_get_default(), &families, &count);
  bool found = false;
  for (int i = 0; i < count && !found; ++i) {
    found = g_ascii_strcasecmp(pango_font_family_get_name(families[i]),
                               std::string(name).c_str()) == 0;
  }
  g_free(families);
  return found;
}

// The family of the desktop's interface font, "Sans" when it names none.
std::string desktop_family() {
  gchar* font_name = nullptr;
  g_object_get(gtk_settings_get_default(), "gtk-font-name", &font_name, nullptr);
  std::string family = "Sans";
  if (font_name != nullptr) {
    PangoFontDescription* description = pango_font_description_from_string(font_name);
    if (const char* named = pango_font_description_get_family(description);
        named != nullptr && *named != '\0') {
      family = named;
    }
    pango_font_description_free(description);
    g_free(font_name);
  }
  return family;
}

// Pixel font sizes, the static text colour, and controls no larger than
// their rectangles: the theme's paddings and minimum heights would otherwise
// make buttons and the bar grow past the layout.
std::string style_sheet(const WindowLayout& layout, const std::string& family) {
  const auto px = [](int n) { return std::to_string(n) + "px"; };
  const std::string font = "font-family: \"" + family + "\"; ";
  const int bar_height = std::max(1, layout.rect_of(Control::Progress).height - 2);
  return ".orvo-body { " + font + "font-size: " + px(layout.body_font_height) +
         "; font-weight: " + std::to_string(font_layout(FontRole::Body).weight) + "; }\n" +
         ".orvo-title { " + font + "font-size: " + px(layout.title_font_height) +
         "; font-weight: " + std::to_string(font_layout(FontRole::Title).weight) + "; }\n" +
         ".orvo-static { color: rgb(" + std::to_string(kTextRed) + ", " +
         std::to_string(kTextGreen) + ", " + std::to_string(kTextBlue) + "); }\n" +
         "button.orvo-body { min-height: 0; min-width: 0; padding: 0 4px; }\n" +
         "progressbar.orvo-body trough, progressbar.orvo-body progress { min-height: " +
         px(bar_height) + "; }\n";
}

GtkWidget* make_control(const ControlLayout& item) {
  GtkWidget* widget = nullptr;
  const std::string text(item.text);
  switch (item.kind) {
    case ControlKind::Label:
      widget = gtk_label_new(text.c_str());
      gtk_label_set_xalign(GTK_LABEL(widget), 0);
      gtk_label_set_yalign(GTK_LABEL(widget), 0);
      gtk_label_set_line_wrap(GTK_LABEL(widget), TRUE);
      gtk_label_set_line_wrap_mode(GTK_LABEL(widget), PANGO_WRAP_WORD);
      gtk_style_context_add_class(gtk_widget_get_style_context(widget), "orvo-static");
      break;
    case ControlKind::ProgressBar:
      widget = gtk_progress_bar_new();
      gtk_progress_bar_set_pulse_step(GTK_PROGRESS_BAR(widget), kPulseStep);
      break;
    case ControlKind::Button:
      widget = gtk_button_new_with_label(text.c_str());
      break;
  }
  gtk_style_context_add_class(gtk_widget_get_style_context(widget),
                              item.font == FontRole::Title ? "orvo-title" : "orvo-body");
  return widget;
}

// The primary monitor's size; the first monitor stands in when none is primary.
GdkRectangle screen_area() {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (monitor == nullptr && gdk_display_get_n_monitors(display) > 0) {
    monitor = gdk_display_get_monitor(display, 0);
  }
  GdkRectangle area{0, 0, 0, 0};
  if (monitor != nullptr) gdk_monitor_get_geometry(monitor, &area);
  return area;
}

// GTK names a window's class after the program; a second launcher looks for ours.
void set_window_class(GtkWidget* window) {
  GdkWindow* native = gtk_widget_get_window(window);
  if (native == nullptr || !GDK_IS_X11_WINDOW(native)) return;
  std::string name = "orvo-support";
  std::string window_class(kWindowClass);
  XClassHint hint{name.data(), window_class.data()};
  XSetClassHint(GDK_WINDOW_XDISPLAY(native), GDK_WINDOW_XID(native), &hint);
}

}  // namespace

GtkLauncherView::GtkLauncherView(const WindowLayout& layout) {
  font_family_ = family_installed(kPreferredFamily) ? std::string(kPreferredFamily)
                                                    : desktop_family();
  style_ = gtk_css_provider_new();
  gtk_css_provider_load_from_data(style_, style_sheet(layout, font_family_).c_str(), -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(style_),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);

  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window_), std::string(kCaption).c_str());
  gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
  // A layout container asks for its own size only: wrapping labels, which ask
  // for room to suit their whole text, never make the window larger.
  GtkWidget* container = gtk_layout_new(nullptr, nullptr);
  gtk_widget_set_size_request(container, layout.client_width, layout.client_height);
  gtk_container_add(GTK_CONTAINER(window_), container);
  for (std::size_t i = 0; i < kControls.size(); ++i) {
    const Rect& rect = layout.rects[i];
    GtkWidget* control = make_control(kControls[i]);
    gtk_widget_set_size_request(control, rect.width, rect.height);
    gtk_layout_put(GTK_LAYOUT(container), control, rect.x, rect.y);
    gtk_widget_show(control);
    if (kControls[i].kind == ControlKind::Button) {
      g_object_set_data(G_OBJECT(control), "orvo-id", GINT_TO_POINTER(kControls[i].id));
      g_signal_connect(control, "clicked", G_CALLBACK(on_clicked), this);
    }
    if (kControls[i].default_button) {
      gtk_widget_set_can_default(control, TRUE);
      gtk_window_set_default(GTK_WINDOW(window_), control);
    }
    controls_[i] = control;
  }
  gtk_widget_show(container);

  g_signal_connect(container, "focus", G_CALLBACK(on_focus), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(on_delete), this);
  g_signal_connect(window_, "destroy", G_CALLBACK(on_destroy), this);

  const GdkRectangle screen = screen_area();
  gtk_window_move(GTK_WINDOW(window_),
                  screen.x + centred_origin(screen.width, layout.client_width),
                  screen.y + centred_origin(screen.height, layout.client_height));
  gtk_widget_realize(window_);
  set_window_class(window_);
}

GtkLauncherView::~GtkLauncherView() {
  if (window_ != nullptr) gtk_widget_destroy(window_);
  gtk_style_context_remove_provider_for_screen(gdk_screen_get_default(),
                                               GTK_STYLE_PROVIDER(style_));
  g_object_unref(style_);
}

void GtkLauncherView::attach(LauncherWindow* record) {
  record_ = record;
  poll_timer_ = g_timeout_add(kPollIntervalMs, on_poll, this);
}

void GtkLauncherView::show() {
  if (window_ == nullptr) return;
  gtk_widget_show(window_);
  // GTK focuses the first button when a window is shown; the launcher gives
  // no control the focus until the user moves it.
  gtk_window_set_focus(GTK_WINDOW(window_), nullptr);
}

GtkWidget* GtkLauncherView::widget(Control control) const {
  return controls_[control_index(control)];
}

void GtkLauncherView::set_text(Control control, std::string_view text) {
  GtkWidget* target = widget(control);
  if (target == nullptr) return;
  const std::string value(text);
  if (GTK_IS_BUTTON(target)) {
    gtk_button_set_label(GTK_BUTTON(target), value.c_str());
  } else if (GTK_IS_LABEL(target)) {
    gtk_label_set_text(GTK_LABEL(target), value.c_str());
  }
}

void GtkLauncherView::set_visible(Control control, bool visible) {
  if (GtkWidget* target = widget(control)) gtk_widget_set_visible(target, visible);
}

void GtkLauncherView::set_enabled(Control control, bool enabled) {
  if (GtkWidget* target = widget(control)) gtk_widget_set_sensitive(target, enabled);
}

void GtkLauncherView::focus(Control control) {
  if (GtkWidget* target = widget(control)) gtk_widget_grab_focus(target);
}

void GtkLauncherView::progress_marquee() {
  GtkWidget* bar = widget(Control::Progress);
  if (bar == nullptr) return;
  stop_pulse();
  gtk_progress_bar_pulse(GTK_PROGRESS_BAR(bar));
  pulse_timer_ = g_timeout_add(kMarqueeStepMs, on_pulse, this);
}

void GtkLauncherView::progress_position(std::uint32_t percent) {
  GtkWidget* bar = widget(Control::Progress);
  if (bar == nullptr) return;
  stop_pulse();
  gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar), std::min(percent, 100U) / 100.0);
}

void GtkLauncherView::destroy_window() {
  if (window_ != nullptr) gtk_widget_destroy(window_);
}

void GtkLauncherView::open_file(const std::filesystem::path& path) {
  platform::open_with_default_program(path);
}

void GtkLauncherView::stop_pulse() {
  if (pulse_timer_ != 0) g_source_remove(pulse_timer_);
  pulse_timer_ = 0;
}

int GtkLauncherView::on_delete(GtkWidget*, void*, void* self) {
  auto* view = static_cast<GtkLauncherView*>(self);
  handle_close_request(view->record_, *view);
  // The window goes only when attempt control destroys it.
  return TRUE;
}

// As the window procedure's WM_DESTROY: the timers end and so does the loop.
void GtkLauncherView::on_destroy(GtkWidget*, void* self) {
  auto* view = static_cast<GtkLauncherView*>(self);
  if (view->poll_timer_ != 0) g_source_remove(view->poll_timer_);
  view->poll_timer_ = 0;
  view->stop_pulse();
  view->window_ = nullptr;
  view->controls_.fill(nullptr);
  if (gtk_main_level() > 0) gtk_main_quit();
}

void GtkLauncherView::on_clicked(GtkWidget* button, void* self) {
  auto* view = static_cast<GtkLauncherView*>(self);
  if (view->record_ == nullptr) return;
  handle_command(*view->record_, GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "orvo-id")));
}

// Tab and Shift+Tab go round the visible, enabled buttons in creation order,
// as dialog navigation does; the container would order them by place.
int GtkLauncherView::on_focus(GtkWidget*, int direction, void* self) {
  auto* view = static_cast<GtkLauncherView*>(self);
  if (direction != GTK_DIR_TAB_FORWARD && direction != GTK_DIR_TAB_BACKWARD) return FALSE;
  std::vector<GtkWidget*> stops;
  for (const Control control : kTabOrder) {
    GtkWidget* button = view->widget(control);
    if (gtk_widget_get_visible(button) && gtk_widget_get_sensitive(button)) stops.push_back(button);
  }
  if (stops.empty()) return FALSE;
  GtkWidget* current = gtk_window_get_focus(GTK_WINDOW(view->window_));
  const auto at = std::ranges::find(stops, current);
  std::size_t next = 0;
  if (at == stops.end()) {
    next = direction == GTK_DIR_TAB_FORWARD ? 0 : stops.size() - 1;
  } else {
    const auto here = static_cast<std::size_t>(at - stops.begin());
    next = direction == GTK_DIR_TAB_FORWARD ? (here + 1) % stops.size()
                                            : (here + stops.size() - 1) % stops.size();
  }
  gtk_widget_grab_focus(stops[next]);
  return TRUE;
}

int GtkLauncherView::on_poll(void* self) {
  auto* view = static_cast<GtkLauncherView*>(self);
  if (view->record_ != nullptr) poll_tick(*view->record_);
  return G_SOURCE_CONTINUE;
}

int GtkLauncherView::on_pulse(void* self) {
  auto* view = static_cast<GtkLauncherView*>(self);
  if (GtkWidget* bar = view->widget(Control::Progress)) gtk_progress_bar_pulse(GTK_PROGRESS_BAR(bar));
  return G_SOURCE_CONTINUE;
}

}  // namespace orvo::ui
