#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

#include "platform/desktop/window_activation.hpp"
#include "platform/host/host_window.hpp"

namespace orvo::platform {
namespace {

struct ClassSearch {
  std::string_view class_name;
  std::uint32_t found = 0;
};

// The class names this search looks for are ASCII, so units compare one to one.
bool has_class(WindowHandle window, std::string_view class_name) {
  std::array<char16_t, 257> buffer{};
  const std::size_t length = window_class_name(window, buffer);
  return length == class_name.size() &&
         std::equal(class_name.begin(), class_name.end(), buffer.begin(),
                    [](char a, char16_t b) { return static_cast<unsigned char>(a) == b; });
}

bool visit(WindowHandle window, std::intptr_t param) {
  auto& search = *reinterpret_cast<ClassSearch*>(param);
  if (!has_class(window, search.class_name)) return true;
  search.found = window.id;
  return false;
}

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};

bool window_manager_runs(Display* display) {
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  const bool present =
      XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW,
                         &type, &format, &count, &after, &data) == Success &&
      type == XA_WINDOW && count == 1;
  if (data != nullptr) XFree(data);
  return present;
}

// Mapping a minimised window asks its manager to restore it, and without a
// manager maps it; _NET_ACTIVE_WINDOW asks a manager to raise and focus it,
// as a pager does for the user.
void restore_and_raise(Display* display, Window window) {
  XMapRaised(display, window);
  const Window root = DefaultRootWindow(display);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = 2;  // the request comes from the user
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XSync(display, False);
  if (window_manager_runs(display)) return;
  // Nobody else hands out the focus then.
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, window, &attributes) != 0 &&
      attributes.map_state == IsViewable) {
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
  }
}

}  // namespace

bool restore_and_raise_window(std::string_view class_name) {
  ClassSearch search{.class_name = class_name};
  {
    const WindowSystem windows;
    windows.enumerate_windows(visit, reinterpret_cast<std::intptr_t>(&search));
  }
  if (search.found == 0) return false;
  // Window ids are the server's, so a connection of its own can act on the one found.
  const std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
  if (display) restore_and_raise(display.get(), search.found);
  return true;
}

}  // namespace orvo::platform
