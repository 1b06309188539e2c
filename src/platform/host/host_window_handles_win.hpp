// Windows as Win32 has them: a window is its HWND; the desktop needs no
// connection of its own.
#pragma once

namespace orvo::platform {

using WindowHandle = void*;  // HWND

struct WindowConnection {};

}  // namespace orvo::platform
