// What attempt control does to the progress window, and all it does: each
// view (GTK here, Win32 later) maps these operations onto its own toolkit.
// Results are never examined, so none is returned.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "ui/window_layout.hpp"

namespace orvo::ui {

class WindowOperations {
 public:
  virtual ~WindowOperations() = default;

  virtual void set_text(Control control, std::string_view text) = 0;
  virtual void set_visible(Control control, bool visible) = 0;
  virtual void set_enabled(Control control, bool enabled) = 0;
  virtual void focus(Control control) = 0;
  // The progress bar animates without a known fraction, stepping every kMarqueeStepMs.
  virtual void progress_marquee() = 0;
  // The progress bar stops animating and shows percent (0 to 100) of its length.
  virtual void progress_position(std::uint32_t percent) = 0;
  // Destroys the window, which ends the message loop; no control is touched afterwards.
  virtual void destroy_window() = 0;
  // Opens the file with the desktop's default program; a failure brings no message.
  virtual void open_file(const std::filesystem::path& path) = 0;
};

}  // namespace orvo::ui
