#include "platform/desktop/screen_dpi.hpp"
#include "platform/win32.hpp"

namespace orvo::platform {

int screen_dpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

}  // namespace orvo::platform
