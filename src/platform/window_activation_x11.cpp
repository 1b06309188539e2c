#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <string>

#include "platform/host_window.hpp"
#include "platform/window_activation.hpp"

namespace orvo::platform {
namespace {

struct ClassSearch {
  std::string_view class_name;
  WindowHandle found = kNoWindow;
};

bool has_class(Display* display, Window window, std::string_view class_name) {
  XClassHint hint{};
  if (XGetClassHint(display, window, &hint) == 0) return false;
  const bool same = hint.res_class != nullptr && class_name == hint.res_class;
  if (hint.res_name != nullptr) XFree(hint.res_name);
  if (hint.res_class != nullptr) XFree(hint.res_class);
  return same;
}

bool visit(WindowHandle window, std::intptr_t param) {
  auto& search = *reinterpret_cast<ClassSearch*>(param);
  auto* display = static_cast<Display*>(window.display);
  if (has_class(display, window.id, search.class_name)) {
    search.found = window;
    return false;
  }
  return true;
}

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
  const WindowSystem windows;
  ClassSearch search{.class_name = class_name};
  windows.enumerate_windows(visit, reinterpret_cast<std::intptr_t>(&search));
  if (search.found == kNoWindow) return false;
  restore_and_raise(static_cast<Display*>(search.found.display), search.found.id);
  return true;
}

}  // namespace orvo::platform
