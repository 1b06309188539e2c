// The screen's DPI as the progress window is laid out for it, read once.
#pragma once

namespace orvo::platform {

// On POSIX from the X display named by DISPLAY: its Xft.dpi resource, else
// the screen's vertical resolution. 96 when there is no display.
int screen_dpi();

}  // namespace orvo::platform
