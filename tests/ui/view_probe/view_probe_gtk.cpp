// Shows the launcher's GTK window on the display named by DISPLAY, as the
// launcher lays it out for that screen's DPI, and reports what GTK made of it,
// one line per fact:
//   dpi N
//   client W H
//   origin X Y                              (the client area's place on the screen)
//   control NAME X Y W H VISIBLE ENABLED   (the allocated rectangle)
//   font NAME PIXELS WEIGHT FAMILY          (the font a control renders with)
//   tab NAME...                             (the focus after each of four Tabs)
// Usage: orvo_ui_view_probe running|failure [screenshot.png]
// The attempt control is the real one; the attempt body only keeps its values,
// so the window stays in the state asked for.
//
// Usage: orvo_ui_view_probe until-closed failed|launched SHOWN [HOST FOLDER]
// Runs the window's message loop until the window is destroyed, with an
// attempt that posts progress every 50 ms until it is cancelled and then
// ends with Failed, or, with launched, with Launched carrying HOST started in
// FOLDER (its process id printed as "host PID" once it runs). Makes the file
// SHOWN once the window shows the attempt's progress. Prints "closed" when the
// loop has ended.
#include <gtk/gtk.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>

#include "platform/desktop/screen_dpi.hpp"
#include "platform/host/process_control.hpp"
#include "ui/attempt_control.hpp"
#include "ui/control_names.hpp"
#include "ui/launcher_view_gtk.hpp"
#include "ui/view_probe/probe_record.hpp"

namespace {

using namespace orvo;

// Runs the main loop until the window has been drawn and the frame that drew
// it has ended: by then it is mapped and allocated, and its pixels are on the
// screen.
void run_until_painted(GtkWidget* window) {
  struct Progress {
    bool drawn = false;
    bool painted = false;
  } progress;
  const gulong drawing = g_signal_connect_after(
      window, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t*, Progress* p) {
        p->drawn = true;
        return FALSE;
      }),
      &progress);
  GdkFrameClock* clock = gtk_widget_get_frame_clock(window);
  const gulong painting = g_signal_connect(
      clock, "after-paint",
      G_CALLBACK(+[](GdkFrameClock*, Progress* p) { p->painted = p->painted || p->drawn; }),
      &progress);
  while (!progress.painted) gtk_main_iteration();
  g_signal_handler_disconnect(clock, painting);
  g_signal_handler_disconnect(window, drawing);
}

void report_font(const ui::GtkLauncherView& view, ui::Control control) {
  GtkWidget* widget = view.widget(control);
  GtkStyleContext* style = gtk_widget_get_style_context(widget);
  PangoFontDescription* font = nullptr;
  gtk_style_context_get(style, gtk_style_context_get_state(style), "font", &font, nullptr);
  // A size in points becomes pixels at the resolution GTK renders with.
  double pixels = static_cast<double>(pango_font_description_get_size(font)) / PANGO_SCALE;
  if (pango_font_description_get_size_is_absolute(font) == FALSE) {
    double resolution = gdk_screen_get_resolution(gdk_screen_get_default());
    if (resolution <= 0) resolution = 96;
    pixels = pixels * resolution / 72;
  }
  std::printf("font %s %ld %d %s\n", test::control_name(control).c_str(), std::lround(pixels),
              static_cast<int>(pango_font_description_get_weight(font)),
              pango_font_description_get_family(font));
  pango_font_description_free(font);
}

std::string focused(const ui::GtkLauncherView& view) {
  GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(view.window()));
  for (const ui::ControlLayout& item : ui::kControls) {
    if (view.widget(item.control) == focus) return test::control_name(item.control);
  }
  return "none";
}

bool save_screenshot(const ui::GtkLauncherView& view, const char* path) {
  GdkWindow* window = gtk_widget_get_window(view.window());
  GdkPixbuf* picture = gdk_pixbuf_get_from_window(window, 0, 0, gdk_window_get_width(window),
                                                  gdk_window_get_height(window));
  if (picture == nullptr) return false;
  const bool saved = gdk_pixbuf_save(picture, path, "png", nullptr, nullptr) != FALSE;
  g_object_unref(picture);
  return saved;
}

constexpr std::string_view kProgressText = "Downloading ORVO Support\u2026";

// Makes the file once the status line shows the attempt's progress.
struct ProgressWatch {
  const ui::GtkLauncherView* view;
  std::string shown_file;
};

int watch_progress(void* data) {
  const auto* watch = static_cast<const ProgressWatch*>(data);
  GtkWidget* status = watch->view->widget(ui::Control::Status);
  if (status == nullptr || gtk_label_get_text(GTK_LABEL(status)) != kProgressText) {
    return G_SOURCE_CONTINUE;
  }
  std::ofstream(watch->shown_file).put('\n');
  return G_SOURCE_REMOVE;
}

// An attempt that runs until it is cancelled, as one waiting for a slow server does.
ui::AttemptBody attempt_until_cancelled(bool launch, std::string host, std::string folder) {
  return [launch, host, folder](ui::AttemptValues values) {
    std::uint32_t percent = 0;
    while (!values.cancel.is_set()) {
      values.sender.send(core::Progress{.text = std::string(kProgressText),
                                        .mode = core::ProgressMode::Determinate,
                                        .percent = percent++ % 101});
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!launch) {
      values.sender.send(core::Failed{.text = "Preparation cancelled"});
      return;
    }
    auto started = platform::start_process(host, folder);
    if (!started) {
      std::printf("cannot start the host: %s\n", started.error().chain_text().c_str());
      values.sender.send(core::Failed{.text = "no host"});
      return;
    }
    std::printf("host %u\n", platform::process_id(*started));
    std::fflush(stdout);
    values.sender.send(core::Launched{.host = std::move(*started)});
  };
}

int run_until_closed(int argc, char** argv) {
  const bool launch = argc > 2 && std::string_view(argv[2]) == "launched";
  if (argc < 4 || (launch && argc < 6)) return 2;
  const ui::WindowLayout layout = ui::layout_for_dpi(platform::screen_dpi());
  ui::GtkLauncherView view(layout);
  auto [sender, receiver] = core::make_channel<core::WorkerMessage>();
  ui::LauncherWindow record{
      .receiver = std::move(receiver),
      .sender = std::move(sender),
      .log_path = "/nonexistent/launcher.log",
      .cancel = core::CancelFlag{},
      .window = &view,
      .attempt = attempt_until_cancelled(launch, launch ? argv[4] : "", launch ? argv[5] : ""),
      .busy = false};
  view.attach(&record);
  ProgressWatch watch{.view = &view, .shown_file = argv[3]};
  g_timeout_add(10, watch_progress, &watch);
  ui::start_attempt(record);
  view.show();
  gtk_main();
  record.cancel.set();
  std::printf("closed\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string_view(argv[1]) == "until-closed") {
    if (gtk_init_check(nullptr, nullptr) == FALSE) return 3;
    return run_until_closed(argc, argv);
  }
  if (argc < 2 || (std::string_view(argv[1]) != "running" && std::string_view(argv[1]) != "failure")) {
    std::fprintf(stderr, "usage: %s running|failure [screenshot.png]\n", argv[0]);
    return 2;
  }
  if (gtk_init_check(nullptr, nullptr) == FALSE) {
    std::fprintf(stderr, "no display\n");
    return 3;
  }
  const ui::WindowLayout layout = ui::layout_for_dpi(platform::screen_dpi());
  ui::GtkLauncherView view(layout);
  ui::LauncherWindow record = test::probe_record(view);
  view.attach(&record);
  ui::start_attempt(record);
  view.show();
  if (std::string_view(argv[1]) == "failure") {
    record.sender.send(core::Failed{.text = "probe"});
    ui::poll_tick(record);
  }
  run_until_painted(view.window());

  std::printf("dpi %d\n", layout.dpi);
  GdkWindow* client = gtk_widget_get_window(view.window());
  std::printf("client %d %d\n", gdk_window_get_width(client), gdk_window_get_height(client));
  int x = 0;
  int y = 0;
  gdk_window_get_origin(client, &x, &y);
  std::printf("origin %d %d\n", x, y);
  for (const ui::ControlLayout& item : ui::kControls) {
    GtkWidget* widget = view.widget(item.control);
    GtkAllocation rect{};
    gtk_widget_get_allocation(widget, &rect);
    std::printf("control %s %d %d %d %d %s %s\n", test::control_name(item.control).c_str(), rect.x, rect.y,
                rect.width, rect.height, gtk_widget_get_visible(widget) ? "shown" : "hidden",
                gtk_widget_get_sensitive(widget) ? "enabled" : "disabled");
  }
  for (const ui::ControlLayout& item : ui::kControls) report_font(view, item.control);
  std::printf("focus %s\n", focused(view).c_str());
  if (argc > 2 && !save_screenshot(view, argv[2])) {
    std::fprintf(stderr, "cannot save %s\n", argv[2]);
    return 4;
  }
  std::string tabs = "tab";
  for (int i = 0; i < 4; ++i) {
    gtk_widget_child_focus(view.window(), GTK_DIR_TAB_FORWARD);
    tabs += " " + focused(view);
  }
  std::printf("%s\n", tabs.c_str());
  return 0;
}
