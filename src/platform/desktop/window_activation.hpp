// Bringing another program's window to the user: the first top-level window
// of a class is restored from minimised and raised to the front. On POSIX the
// class is the class part of an X11 window's WM_CLASS.
#pragma once

#include <string_view>

namespace orvo::platform {

// Whether such a window was found; what the window system then does with the
// request (a window manager may ignore it) is not awaited.
bool restore_and_raise_window(std::string_view class_name);

}  // namespace orvo::platform
