// Windows as the X Window System has them: a window is an id on one
// connection to the X server, and a window system is that connection.
#pragma once

#include <cstdint>

namespace orvo::platform {

// One connection with its deadlines (host_window_x11.cpp).
class XConnection;

struct WindowHandle {
  XConnection* connection = nullptr;
  std::uint32_t id = 0;
  friend bool operator==(const WindowHandle&, const WindowHandle&) = default;
};

struct WindowConnection {
  XConnection* connection = nullptr;  // owned; null without a display
};

}  // namespace orvo::platform
