#include "support/host/x_windows.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <iterator>
#include <thread>

namespace orvo::test {
namespace {

Display* as_display(void* display) { return static_cast<Display*>(display); }

std::vector<XWindow> top_windows(Display* display) {
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
    return {};
  }
  std::vector<XWindow> tops(std::reverse_iterator(children + count), std::reverse_iterator(children));
  if (children != nullptr) XFree(children);
  return tops;
}

std::string text_property(Display* display, Window window, const char* name) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::string text;
  if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1024, False,
                         AnyPropertyType, &type, &format, &count, &after, &data) == Success &&
      data != nullptr && format == 8) {
    text.assign(reinterpret_cast<const char*>(data), count);
  }
  if (data != nullptr) XFree(data);
  return text;
}

}  // namespace

XWindows::XWindows() : display_(XOpenDisplay(nullptr)) {}

XWindows::~XWindows() {
  if (display_ != nullptr) XCloseDisplay(as_display(display_));
}

std::vector<XWindow> XWindows::matching(bool by_class, std::string_view text) {
  Display* display = as_display(display_);
  std::vector<XWindow> found;
  if (display == nullptr) return found;
  for (const XWindow window : top_windows(display)) {
    if (by_class) {
      XClassHint hint{};
      if (XGetClassHint(display, window, &hint) == 0) continue;
      if (hint.res_class != nullptr && text == hint.res_class) found.push_back(window);
      if (hint.res_name != nullptr) XFree(hint.res_name);
      if (hint.res_class != nullptr) XFree(hint.res_class);
    } else if (text_property(display, window, "WM_WINDOW_ROLE") == text) {
      found.push_back(window);
    }
  }
  return found;
}

std::vector<XWindow> XWindows::with_class(std::string_view window_class) {
  return matching(true, window_class);
}

std::vector<XWindow> XWindows::with_role(std::string_view role) { return matching(false, role); }

std::optional<XWindow> XWindows::wait_for(bool by_class, std::string_view text) {
  // A GTK program under a sanitizer on a loaded single core has needed over
  // 20 s to show its first window: the bound is ten times that.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
  while (std::chrono::steady_clock::now() < deadline) {
    for (const XWindow window : matching(by_class, text)) {
      if (viewable(window)) return window;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return std::nullopt;
}

std::optional<XWindow> XWindows::wait_for_class(std::string_view window_class) {
  return wait_for(true, window_class);
}

std::optional<XWindow> XWindows::wait_for_role(std::string_view role) {
  return wait_for(false, role);
}

bool XWindows::viewable(XWindow window) {
  XWindowAttributes attributes{};
  return display_ != nullptr &&
         XGetWindowAttributes(as_display(display_), window, &attributes) != 0 &&
         attributes.map_state == IsViewable;
}

std::string XWindows::title(XWindow window) {
  if (display_ == nullptr) return {};
  return text_property(as_display(display_), window, "_NET_WM_NAME");
}

Picture XWindows::picture(XWindow window) {
  Display* display = as_display(display_);
  XWindowAttributes attributes{};
  if (display == nullptr || XGetWindowAttributes(display, window, &attributes) == 0 ||
      attributes.map_state != IsViewable) {
    return {};
  }
  XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  if (image == nullptr) return {};
  // The share of a pixel's value that a colour mask selects, as 8 bits.
  const auto channel = [](unsigned long pixel, unsigned long mask) {
    if (mask == 0) return std::uint8_t{0};
    while ((mask & 1) == 0) {
      mask >>= 1;
      pixel >>= 1;
    }
    return static_cast<std::uint8_t>((pixel & mask) * 255 / mask);
  };
  Picture picture{.width = attributes.width, .height = attributes.height, .rgb = {}};
  picture.rgb.reserve(static_cast<std::size_t>(picture.width) * picture.height * 3);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      picture.rgb.push_back(channel(pixel, image->red_mask));
      picture.rgb.push_back(channel(pixel, image->green_mask));
      picture.rgb.push_back(channel(pixel, image->blue_mask));
    }
  }
  XDestroyImage(image);
  return picture;
}

int XWindows::stacking_place(XWindow window) {
  if (display_ == nullptr) return -1;
  const auto tops = top_windows(as_display(display_));
  for (std::size_t i = 0; i < tops.size(); ++i) {
    if (tops[i] == window) return static_cast<int>(i);
  }
  return -1;
}

void XWindows::unmap(XWindow window) {
  XUnmapWindow(as_display(display_), window);
  XSync(as_display(display_), False);
}

XWindow XWindows::cover() {
  Display* display = as_display(display_);
  const Window window =
      XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 2000, 2000, 0, 0, 0);
  XMapRaised(display, window);
  XSync(display, False);
  return window;
}

void XWindows::close(XWindow window) {
  Display* display = as_display(display_);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
}

void XWindows::type(XWindow window, const std::vector<std::string>& keys) {
  Display* display = as_display(display_);
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  XSync(display, False);
  // The toolkit handles keys only once it has seen the focus arrive.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  for (const std::string& key : keys) {
    const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(key.c_str()));
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
  }
}

}  // namespace orvo::test
