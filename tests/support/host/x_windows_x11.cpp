#include "support/host/x_windows.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <poll.h>

#include <chrono>
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

// The errors of the requests made while it lives end no test: a window may
// go at any moment. They are all in once it has synced.
class IgnoredErrors {
 public:
  explicit IgnoredErrors(Display* display)
      : display_(display), previous_(XSetErrorHandler([](Display*, XErrorEvent*) { return 0; })) {}
  IgnoredErrors(const IgnoredErrors&) = delete;
  IgnoredErrors& operator=(const IgnoredErrors&) = delete;
  ~IgnoredErrors() {
    XSync(display_, False);
    XSetErrorHandler(previous_);
  }

 private:
  Display* display_;
  XErrorHandler previous_;
};

// Every wait for a program's window: a GTK program under a sanitizer on a
// loaded single core has needed over 20 s to show its first window, and
// this is ten times that.
constexpr auto kPatience = std::chrono::seconds(300);

// Whether an event comes before the deadline; Xlib reads it on the next call.
bool event_by(Display* display, std::chrono::steady_clock::time_point deadline) {
  while (XPending(display) == 0) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd readable{.fd = ConnectionNumber(display), .events = POLLIN, .revents = 0};
    ::poll(&readable, 1, static_cast<int>(left.count()));
  }
  return true;
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
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
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

// The toolkit reads the connection in order and handles one event before it
// reads the next, so its answer to a ping sent now comes only once it has
// handled everything sent to the window before. A window that is destroyed
// meanwhile, or was already, has had all of it handled too.
bool XWindows::handled_so_far(XWindow window) {
  Display* display = as_display(display_);
  const Window root = DefaultRootWindow(display);
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
  // The answer is the same message, sent back to the root window, where a
  // window's destruction is told as well.
  XSelectInput(display, root, SubstructureNotifyMask);
  // Sent to a window that has just gone, the ping is an error, and no answer.
  const IgnoredErrors ignored(display);
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, window, &attributes) == 0) return true;
  const long token = ++pings_;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = protocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(ping);
  event.xclient.data.l[1] = token;
  event.xclient.data.l[2] = static_cast<long>(window);
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (event_by(display, deadline)) {
    XEvent answer{};
    XNextEvent(display, &answer);
    if (answer.type == DestroyNotify && answer.xdestroywindow.window == window) return true;
    if (answer.type == ClientMessage && answer.xclient.message_type == protocols &&
        answer.xclient.data.l[0] == static_cast<long>(ping) && answer.xclient.data.l[1] == token &&
        answer.xclient.data.l[2] == static_cast<long>(window)) {
      return true;
    }
  }
  return false;
}

bool XWindows::type(XWindow window, const std::vector<std::string>& keys) {
  Display* display = as_display(display_);
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  // The toolkit handles keys only once it has seen the focus arrive.
  if (!handled_so_far(window)) return false;
  for (const std::string& key : keys) {
    const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(key.c_str()));
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
  }
  return handled_so_far(window);
}

}  // namespace orvo::test
