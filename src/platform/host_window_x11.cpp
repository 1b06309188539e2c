#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/host_window.hpp"

namespace orvo::platform {
namespace {

// Xlib reports protocol errors (a window that vanished between listing and
// reading it, for one) to one process-wide handler whose default ends the
// process. Errors on our own connections are expected and ignored; those of
// other connections in the process go to the handler that was there before.
std::once_flag g_setup;
std::mutex g_mutex;
std::vector<Display*> g_ours;
XErrorHandler g_previous_handler = nullptr;
XIOErrorHandler g_previous_io_handler = nullptr;

bool is_ours(Display* display) {
  std::lock_guard lock(g_mutex);
  return std::ranges::find(g_ours, display) != g_ours.end();
}

int on_x_error(Display* display, XErrorEvent* event) {
  if (is_ours(display)) return 0;
  return g_previous_handler != nullptr ? g_previous_handler(display, event) : 0;
}

// A lost connection of ours must not end the launcher: the connection is only
// marked dead, and its further calls fail.
int on_io_error(Display* display) {
  if (is_ours(display)) return 0;
  return g_previous_io_handler != nullptr ? g_previous_io_handler(display) : 0;
}
void on_lost_connection(Display*, void*) {}

Display* display_of(WindowHandle window) { return static_cast<Display*>(window.display); }

// One property read (of at most length 32-bit units); the reply's data is
// freed with the value.
class PropertyReply {
 public:
  PropertyReply(Display* display, Window window, Atom name, long length, Atom wanted) {
    ok_ = XGetWindowProperty(display, window, name, 0, length, False, wanted, &type_, &format_,
                             &count_, &after_, &data_) == Success &&
          type_ != None;
  }
  PropertyReply(const PropertyReply&) = delete;
  PropertyReply& operator=(const PropertyReply&) = delete;
  ~PropertyReply() {
    if (data_ != nullptr) XFree(data_);
  }

  // Whether the window has the property at all.
  bool exists() const { return ok_; }
  Atom type() const { return type_; }
  int format() const { return format_; }
  unsigned long count() const { return data_ != nullptr ? count_ : 0; }
  const unsigned char* data() const { return data_; }

 private:
  bool ok_ = false;
  Atom type_ = None;
  int format_ = 0;
  unsigned long count_ = 0;
  unsigned long after_ = 0;
  unsigned char* data_ = nullptr;
};

struct Property {
  Atom type = None;
  std::string bytes;
};

// An 8-bit property, cut at 4 KiB: no text buffer of the search holds more.
std::optional<Property> read_text_property(Display* display, Window window, Atom name) {
  const PropertyReply reply(display, window, name, 1024, AnyPropertyType);
  if (!reply.exists() || reply.format() != 8) return std::nullopt;
  Property property{.type = reply.type(), .bytes = {}};
  if (reply.count() > 0) {
    property.bytes.assign(reinterpret_cast<const char*>(reply.data()), reply.count());
  }
  return property;
}

// Writes units into the buffer, leaving room for the terminating zero.
class UnitWriter {
 public:
  explicit UnitWriter(std::span<char16_t> buffer) : buffer_(buffer) {}
  bool full() const { return buffer_.empty() || count_ + 1 >= buffer_.size(); }
  void put(char16_t unit) {
    if (!full()) buffer_[count_++] = unit;
  }
  void put_code_point(char32_t c) {
    if (c < 0x10000) {
      put(static_cast<char16_t>(c));
    } else {
      put(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      put(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
  }
  std::size_t finish() {
    if (!buffer_.empty()) buffer_[count_] = 0;
    return count_;
  }

 private:
  std::span<char16_t> buffer_;
  std::size_t count_ = 0;
};

constexpr char32_t kReplacement = 0xFFFD;

// UTF-8 to UTF-16; each ill-formed sequence (overlong, surrogate, beyond
// U+10FFFF, truncated) becomes one U+FFFD.
std::size_t utf8_units(std::string_view text, std::span<char16_t> buffer) {
  UnitWriter out(buffer);
  std::size_t i = 0;
  while (i < text.size() && !out.full()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      out.put(lead);
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, c = lead & 0x07, minimum = 0x10000;
    } else {
      out.put_code_point(kReplacement);
      ++i;
      continue;
    }
    int taken = 1;
    while (taken < length && i + taken < text.size() &&
           (static_cast<unsigned char>(text[i + taken]) & 0xC0) == 0x80) {
      c = (c << 6) | (static_cast<unsigned char>(text[i + taken]) & 0x3F);
      ++taken;
    }
    i += static_cast<std::size_t>(taken);
    const bool valid =
        taken == length && c >= minimum && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    out.put_code_point(valid ? c : kReplacement);
  }
  return out.finish();
}

std::size_t latin1_units(std::string_view text, std::span<char16_t> buffer) {
  UnitWriter out(buffer);
  for (const char byte : text) out.put(static_cast<unsigned char>(byte));
  return out.finish();
}

// A text property decoded by its type: UTF8_STRING as UTF-8, STRING as
// Latin-1 (as the X conventions define it), anything else as UTF-8.
std::size_t property_units(const Property& property, std::string_view text,
                           std::span<char16_t> buffer) {
  if (property.type == XA_STRING) return latin1_units(text, buffer);
  return utf8_units(text, buffer);
}

bool offers_ping(Display* display, Window window, Atom ping) {
  Atom* protocols = nullptr;
  int count = 0;
  if (XGetWMProtocols(display, window, &protocols, &count) == 0) return false;
  const bool offered = std::find(protocols, protocols + count, ping) != protocols + count;
  XFree(protocols);
  return offered;
}

std::atomic<long> g_ping_token{1};

bool has_property(Display* display, Window window, Atom name) {
  return PropertyReply(display, window, name, 0, AnyPropertyType).exists();
}

// Deeper than any window manager's frame; a bound against hostile trees.
constexpr int kFrameDepth = 8;

// Under a reparenting window manager the children of the root are its frames,
// and the application's own window, the one with its properties, lies inside
// them, marked with WM_STATE. Without such a manager (or for a window it does
// not manage) the child of the root is the application's window itself.
Window application_window(Display* display, Window top, Atom wm_state) {
  if (has_property(display, top, wm_state)) return top;
  std::vector<Window> level = {top};
  for (int depth = 0; depth < kFrameDepth && !level.empty(); ++depth) {
    std::vector<Window> below;
    for (const Window window : level) {
      Window root = 0;
      Window parent = 0;
      Window* children = nullptr;
      unsigned int count = 0;
      if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) continue;
      below.insert(below.end(), children, children + count);
      if (children != nullptr) XFree(children);
    }
    for (const Window window : below) {
      if (has_property(display, window, wm_state)) return window;
    }
    level = std::move(below);
  }
  return top;
}

}  // namespace

WindowSystem::WindowSystem() {
  std::call_once(g_setup, [] {
    XInitThreads();
    g_previous_handler = XSetErrorHandler(on_x_error);
    g_previous_io_handler = XSetIOErrorHandler(on_io_error);
  });
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return;
  {
    std::lock_guard lock(g_mutex);
    g_ours.push_back(display);
  }
  XSetIOErrorExitHandler(display, on_lost_connection, nullptr);
  connection_.display = display;
}

WindowSystem::~WindowSystem() {
  auto* display = static_cast<Display*>(connection_.display);
  if (display == nullptr) return;
  XCloseDisplay(display);
  std::lock_guard lock(g_mutex);
  std::erase(g_ours, display);
}

void WindowSystem::enumerate_windows(WindowVisitor visit, std::intptr_t param) const {
  auto* display = static_cast<Display*>(connection_.display);
  if (display == nullptr) return;
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
    return;
  }
  // The server lists the children bottom first; the desktop's enumeration
  // starts at the top.
  const std::vector<Window> tops(std::reverse_iterator(children + count),
                                 std::reverse_iterator(children));
  if (children != nullptr) XFree(children);
  const Atom wm_state = XInternAtom(display, "WM_STATE", False);
  for (const Window top : tops) {
    if (!visit(WindowHandle{display, application_window(display, top, wm_state)}, param)) break;
  }
}

bool WindowSystem::wait_input_idle(const Process& process,
                                   std::chrono::milliseconds timeout) const {
  auto* display = static_cast<Display*>(connection_.display);
  if (display == nullptr) return false;
  struct Search {
    std::uint32_t process_id;
    bool found;
  } search{static_cast<std::uint32_t>(process.handles().pid), false};
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    enumerate_windows(
        [](WindowHandle window, std::intptr_t param) {
          auto& s = *reinterpret_cast<Search*>(param);
          s.found = window_process_id(window) == s.process_id && window_visible(window);
          return !s.found;
        },
        reinterpret_cast<std::intptr_t>(&search));
    if (search.found) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool WindowSystem::answers(WindowHandle window, std::chrono::milliseconds timeout) const {
  Display* display = display_of(window);
  if (display == nullptr || display != connection_.display) return false;
  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
  if (!offers_ping(display, window.id, ping)) return false;

  // The answer is the same message sent back to the root window.
  const Window root = DefaultRootWindow(display);
  XSelectInput(display, root, SubstructureNotifyMask);
  const long token = g_ping_token.fetch_add(1);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window.id;
  event.xclient.message_type = protocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(ping);
  event.xclient.data.l[1] = token;
  event.xclient.data.l[2] = static_cast<long>(window.id);
  if (XSendEvent(display, window.id, False, NoEventMask, &event) == 0) return false;
  XFlush(display);

  const auto deadline = std::chrono::steady_clock::now() + timeout;
  // A connection that the server has closed stays readable for ever; once
  // what it still held is read, no answer can come.
  bool closed = false;
  for (;;) {
    while (XPending(display) > 0) {
      XEvent reply{};
      XNextEvent(display, &reply);
      if (reply.type == ClientMessage && reply.xclient.message_type == protocols &&
          reply.xclient.format == 32 && reply.xclient.data.l[0] == static_cast<long>(ping) &&
          reply.xclient.data.l[1] == token &&
          reply.xclient.data.l[2] == static_cast<long>(window.id)) {
        return true;
      }
    }
    if (closed) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd connection{.fd = ConnectionNumber(display), .events = POLLIN, .revents = 0};
    if (::poll(&connection, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) return false;
    closed = (connection.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  }
}

std::uint32_t window_process_id(WindowHandle window) {
  Display* display = display_of(window);
  if (display == nullptr) return 0;
  const PropertyReply reply(display, window.id, XInternAtom(display, "_NET_WM_PID", False), 1,
                            XA_CARDINAL);
  std::uint32_t pid = 0;
  // Xlib hands out 32-bit items as longs.
  if (reply.exists() && reply.type() == XA_CARDINAL && reply.format() == 32 &&
      reply.count() == 1) {
    pid = static_cast<std::uint32_t>(*reinterpret_cast<const unsigned long*>(reply.data()));
  }
  return pid;
}

// A window manager unmaps a minimised window and marks it Iconic, where the
// desktop the product runs on still counts it as visible; a window on another
// workspace may likewise be unmapped and stay Normal.
bool window_visible(WindowHandle window) {
  Display* display = display_of(window);
  if (display == nullptr) return false;
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, window.id, &attributes) == 0) return false;
  if (attributes.map_state == IsViewable) return true;
  const Atom wm_state = XInternAtom(display, "WM_STATE", False);
  const PropertyReply reply(display, window.id, wm_state, 1, wm_state);
  if (!reply.exists() || reply.type() != wm_state || reply.format() != 32 || reply.count() != 1) {
    return false;
  }
  const auto state = *reinterpret_cast<const unsigned long*>(reply.data());
  return state == NormalState || state == IconicState;
}

std::size_t window_title(WindowHandle window, std::span<char16_t> buffer) {
  Display* display = display_of(window);
  if (display != nullptr) {
    const Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    if (auto name = read_text_property(display, window.id, net_name); name && name->type == utf8) {
      return utf8_units(name->bytes, buffer);
    }
    if (auto name = read_text_property(display, window.id, XA_WM_NAME)) {
      return property_units(*name, name->bytes, buffer);
    }
  }
  return UnitWriter(buffer).finish();
}

std::size_t window_class_name(WindowHandle window, std::span<char16_t> buffer) {
  Display* display = display_of(window);
  if (display != nullptr) {
    // WM_CLASS holds the instance name and then the class name, each ended by a zero.
    if (auto hint = read_text_property(display, window.id, XA_WM_CLASS)) {
      std::string_view text = hint->bytes;
      const auto instance_end = text.find('\0');
      if (instance_end != std::string_view::npos) {
        text.remove_prefix(instance_end + 1);
        text = text.substr(0, text.find('\0'));
        return property_units(*hint, text, buffer);
      }
    }
  }
  return UnitWriter(buffer).finish();
}

}  // namespace orvo::platform
