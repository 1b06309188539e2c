// Windows as the X Window System has them: a window is an id on one display
// connection, and a window system is that connection.
#pragma once

namespace orvo::platform {

struct WindowHandle {
  void* display = nullptr;  // Display*
  unsigned long id = 0;     // Window
  friend bool operator==(const WindowHandle&, const WindowHandle&) = default;
};

struct WindowConnection {
  void* display = nullptr;  // Display*, null without a display
};

}  // namespace orvo::platform
