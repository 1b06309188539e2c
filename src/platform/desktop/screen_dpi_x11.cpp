#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <charconv>
#include <cmath>
#include <memory>
#include <string_view>

#include "platform/desktop/screen_dpi.hpp"

namespace orvo::platform {
namespace {

constexpr int kDefaultDpi = 96;

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
struct DatabaseCloser {
  void operator()(_XrmHashBucketRec* database) const { XrmDestroyDatabase(database); }
};

// Xft.dpi as desktops set it: a decimal number, of which the whole part counts.
int resource_dpi(Display* display) {
  const char* resources = XResourceManagerString(display);
  if (resources == nullptr) return 0;
  XrmInitialize();
  const std::unique_ptr<_XrmHashBucketRec, DatabaseCloser> database(
      XrmGetStringDatabase(resources));
  if (!database) return 0;
  char* type = nullptr;
  XrmValue value{};
  if (XrmGetResource(database.get(), "Xft.dpi", "Xft.Dpi", &type, &value) == 0 ||
      value.addr == nullptr) {
    return 0;
  }
  const std::string_view text(value.addr);
  int dpi = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), dpi);
  if (error != std::errc{} || dpi <= 0) return 0;
  (void)end;
  return dpi;
}

int resolution_dpi(Display* display) {
  const int screen = DefaultScreen(display);
  const int millimetres = DisplayHeightMM(display, screen);
  if (millimetres <= 0) return kDefaultDpi;
  return static_cast<int>(std::lround(DisplayHeight(display, screen) * 25.4 / millimetres));
}

}  // namespace

int screen_dpi() {
  const std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
  if (!display) return kDefaultDpi;
  if (const int dpi = resource_dpi(display.get()); dpi > 0) return dpi;
  return resolution_dpi(display.get());
}

}  // namespace orvo::platform
