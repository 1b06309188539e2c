// The progress window in GTK 3: the seven controls at their scaled rectangles
// in a fixed container, the fonts and colours of the layout, the pulsing
// marquee, the 100 ms poll timer and the window's events handed to attempt
// control. The window is titled "ORVO Support" and carries the X11 class
// "ORVO.Support.Launcher.Window", by which a second launcher finds it.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "ui/launcher_window.hpp"
#include "ui/window_layout.hpp"
#include "ui/window_operations.hpp"

typedef struct _GtkWidget GtkWidget;
typedef struct _GtkCssProvider GtkCssProvider;

namespace orvo::ui {

class GtkLauncherView final : public WindowOperations {
 public:
  // Builds the window, hidden, with every control shown; GTK must be initialised.
  explicit GtkLauncherView(const WindowLayout& layout);
  GtkLauncherView(const GtkLauncherView&) = delete;
  GtkLauncherView& operator=(const GtkLauncherView&) = delete;
  ~GtkLauncherView() override;

  // From here on the window's events and the poll timer reach attempt control.
  void attach(LauncherWindow* record);
  void show();

  bool destroyed() const { return window_ == nullptr; }
  GtkWidget* window() const { return window_; }
  GtkWidget* widget(Control control) const;
  // The font family the controls use: "Segoe UI" where installed, else the desktop's.
  const std::string& font_family() const { return font_family_; }

  void set_text(Control control, std::string_view text) override;
  void set_visible(Control control, bool visible) override;
  void set_enabled(Control control, bool enabled) override;
  void focus(Control control) override;
  void progress_marquee() override;
  void progress_position(std::uint32_t percent) override;
  void destroy_window() override;
  void open_file(const std::filesystem::path& path) override;

 private:
  static int on_delete(GtkWidget* window, void* event, void* self);
  static void on_destroy(GtkWidget* window, void* self);
  static void on_clicked(GtkWidget* button, void* self);
  static int on_focus(GtkWidget* container, int direction, void* self);
  static int on_poll(void* self);
  static int on_pulse(void* self);

  void stop_pulse();

  GtkWidget* window_ = nullptr;
  std::array<GtkWidget*, 7> controls_{};  // in the order of kControls
  GtkCssProvider* style_ = nullptr;
  std::string font_family_;
  unsigned poll_timer_ = 0;
  unsigned pulse_timer_ = 0;
  LauncherWindow* record_ = nullptr;
};

}  // namespace orvo::ui
