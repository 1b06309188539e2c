// What a user does to windows, and sees of them, for tests under an X server:
// top-level windows found by class or role, their map state, stacking and
// title and pixels; unmapping one as a minimise does, covering it, closing it from its
// title bar, and typing keys into it.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/host/window_picture.hpp"

namespace orvo::test {

using XWindow = unsigned long;

class XWindows {
 public:
  // Connects to the display named by DISPLAY.
  XWindows();
  XWindows(const XWindows&) = delete;
  XWindows& operator=(const XWindows&) = delete;
  ~XWindows();

  bool connected() const { return display_ != nullptr; }

  // Top-level windows, top first, whose WM_CLASS class part or WM_WINDOW_ROLE is the text.
  std::vector<XWindow> with_class(std::string_view window_class);
  std::vector<XWindow> with_role(std::string_view role);
  // The first such window once it is shown, waiting up to 300 s.
  std::optional<XWindow> wait_for_class(std::string_view window_class);
  std::optional<XWindow> wait_for_role(std::string_view role);

  bool viewable(XWindow window);
  std::string title(XWindow window);
  // The window's pixels as drawn now (the window must be on top); empty when
  // they cannot be read.
  Picture picture(XWindow window);
  // The place in the stacking order among the root's children, 0 at the top.
  int stacking_place(XWindow window);

  // Unmaps the window, as a minimise does without a window manager.
  void unmap(XWindow window);
  // A plain window, shown above every other; it lives as long as the connection.
  XWindow cover();
  // The close request a window manager sends for the title bar's close button.
  void close(XWindow window);
  // Gives the window the input focus and types the keys (X key names: "Tab",
  // "Return"); true once the window's program has handled them (it answers
  // _NET_WM_PING, as GTK's windows do), false when it did not within 300 s.
  bool type(XWindow window, const std::vector<std::string>& keys);
  // Whether the window's program has handled every event sent to the window
  // so far, waiting up to 300 s.
  bool handled_so_far(XWindow window);

 private:
  std::optional<XWindow> wait_for(bool by_class, std::string_view text);
  std::vector<XWindow> matching(bool by_class, std::string_view text);

  void* display_ = nullptr;  // Display*
  long pings_ = 0;
};

}  // namespace orvo::test
