// The progress window in Win32: the window class, the main window centred on
// the primary screen, the two fonts, the seven controls, the 100 ms poll
// timer and the window procedure that hands messages, commands and ticks to
// attempt control. Handles are kept as void*, so that including this header
// brings no <windows.h> with it.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string_view>

#include "ui/launcher_window.hpp"
#include "ui/window_layout.hpp"
#include "ui/window_operations.hpp"

namespace orvo::ui {

// Common controls with the progress bar, then the class
// "ORVO.Support.Launcher.Window"; both results are ignored, as a failed
// registration shows up as a failed window creation.
void register_launcher_class();

// A child control of parent: the texts are converted for Windows here, the
// style is WS_CHILD | WS_VISIBLE | extra_style, the font is set with a
// redraw. A failed creation is not detected: the null handle comes back.
void* create_child_control(void* parent, std::string_view class_name, std::string_view text,
                           std::uint32_t extra_style, int x, int y, int width, int height,
                           std::intptr_t control_id, void* font);

class Win32LauncherView final : public WindowOperations {
 public:
  // Creates the main window for the layout, hidden, then the fonts and the
  // controls; when the window cannot be made, window() is null and nothing
  // else is made.
  explicit Win32LauncherView(const WindowLayout& layout);
  Win32LauncherView(const Win32LauncherView&) = delete;
  Win32LauncherView& operator=(const Win32LauncherView&) = delete;
  // Destroys a window that still exists and deletes fonts not yet deleted.
  ~Win32LauncherView() override;

  // Stores the record in the window's GWLP_USERDATA slot and sets the poll
  // timer: from here on the window procedure reaches attempt control.
  void attach(LauncherWindow* record);
  void show();
  // Deletes the body font, then the title font.
  void delete_fonts();

  void* window() const { return window_; }
  void* control(Control which) const { return controls_[control_index(which)]; }
  void* body_font() const { return body_font_; }
  void* title_font() const { return title_font_; }

  void set_text(Control control, std::string_view text) override;
  void set_visible(Control control, bool visible) override;
  void set_enabled(Control control, bool enabled) override;
  void focus(Control control) override;
  void progress_marquee() override;
  void progress_position(std::uint32_t percent) override;
  void destroy_window() override;
  void open_file(const std::filesystem::path& path) override;

 private:
  void* window_ = nullptr;
  void* body_font_ = nullptr;
  void* title_font_ = nullptr;
  std::array<void*, 7> controls_{};  // in the order of kControls
};

// Dialog-style keyboard handling (Tab between the buttons) for window; ends
// with the quit message or an error of GetMessageW.
void run_message_loop(void* window);

}  // namespace orvo::ui
