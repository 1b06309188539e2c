#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/host_window.hpp"
#include "platform/host/host_window_connection_x11.hpp"

namespace orvo::platform {
namespace {

// The states a window manager records in WM_STATE.
constexpr std::uint32_t kNormalState = 1;
constexpr std::uint32_t kIconicState = 3;

// Deeper than any window manager's frame; a bound against hostile trees.
constexpr int kFrameDepth = 8;

// A property of at most length 32-bit units, of the type wanted (or of any
// type); nothing when the window lacks it or the server does not say.
XReply<xcb_get_property_reply_t> get_property(XConnection& x, xcb_window_t window,
                                              xcb_atom_t name, xcb_atom_t type,
                                              std::uint32_t length) {
  auto reply = x.reply<xcb_get_property_reply_t>(
      xcb_get_property(x.get(), 0, window, name, type, 0, length).sequence);
  if (reply && reply->type == XCB_NONE) reply.reset();
  return reply;
}

// A reply's stated counts are trusted only as far as the reply itself reaches
// (its length, in 4-byte units after the fixed 32 bytes).
std::size_t sent_bytes(std::uint32_t length) { return static_cast<std::size_t>(length) * 4; }

// The value of a property, its bytes as sent.
std::span<const char> value_bytes(const xcb_get_property_reply_t& reply) {
  const std::size_t stated = static_cast<std::size_t>(reply.value_len) * (reply.format / 8);
  return {static_cast<const char*>(xcb_get_property_value(&reply)),
          std::min(stated, sent_bytes(reply.length))};
}

// The 32-bit items of a property of this type.
std::span<const std::uint32_t> items32(const XReply<xcb_get_property_reply_t>& reply,
                                       xcb_atom_t type) {
  if (!reply || reply->type != type || reply->format != 32) return {};
  const std::span<const char> bytes = value_bytes(*reply);
  return {reinterpret_cast<const std::uint32_t*>(bytes.data()), bytes.size() / 4};
}

struct Property {
  xcb_atom_t type = XCB_NONE;
  std::string bytes;
};

// An 8-bit property, cut at 4 KiB: no text buffer of the search holds more.
std::optional<Property> read_text_property(XConnection& x, xcb_window_t window, xcb_atom_t name) {
  const auto reply = get_property(x, window, name, XCB_GET_PROPERTY_TYPE_ANY, 1024);
  if (!reply || reply->format != 8) return std::nullopt;
  const std::span<const char> bytes = value_bytes(*reply);
  return Property{.type = reply->type, .bytes = std::string(bytes.begin(), bytes.end())};
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
  if (property.type == XCB_ATOM_STRING) return latin1_units(text, buffer);
  return utf8_units(text, buffer);
}

bool offers_ping(XConnection& x, xcb_window_t window) {
  const auto reply = get_property(x, window, x.atoms().wm_protocols, XCB_ATOM_ATOM, 1024);
  const auto protocols = items32(reply, XCB_ATOM_ATOM);
  return std::ranges::find(protocols, x.atoms().net_wm_ping) != protocols.end();
}

std::atomic<std::uint32_t> g_ping_token{1};

bool has_property(XConnection& x, xcb_window_t window, xcb_atom_t name) {
  return get_property(x, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0) != nullptr;
}

std::vector<xcb_window_t> children_of(XConnection& x, xcb_window_t window) {
  const auto tree =
      x.reply<xcb_query_tree_reply_t>(xcb_query_tree(x.get(), window).sequence);
  if (!tree) return {};
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const std::size_t count = std::min<std::size_t>(tree->children_len,
                                                  sent_bytes(tree->length) / sizeof *children);
  return {children, children + count};
}

// Under a reparenting window manager the children of the root are its frames,
// and the application's own window, the one with its properties, lies inside
// them, marked with WM_STATE. Without such a manager (or for a window it does
// not manage) the child of the root is the application's window itself.
xcb_window_t application_window(XConnection& x, xcb_window_t top) {
  const xcb_atom_t wm_state = x.atoms().wm_state;
  if (has_property(x, top, wm_state)) return top;
  std::vector<xcb_window_t> level = {top};
  for (int depth = 0; depth < kFrameDepth && !level.empty() && x.usable(); ++depth) {
    std::vector<xcb_window_t> below;
    for (const xcb_window_t window : level) {
      const std::vector<xcb_window_t> children = children_of(x, window);
      below.insert(below.end(), children.begin(), children.end());
    }
    for (const xcb_window_t window : below) {
      if (has_property(x, window, wm_state)) return window;
    }
    level = std::move(below);
  }
  return top;
}

}  // namespace

WindowSystem::WindowSystem() {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr) return;
  connection_.connection = XConnection::open(display, kXExchangeLimit).release();
}

WindowSystem::~WindowSystem() { delete connection_.connection; }

// Each of the enumeration's waits has a bound of its own: on a remote display
// every round trip takes its share, and a search of a few windows makes many.
// A server that stops answering is given up at its first late reply.
void WindowSystem::enumerate_windows(WindowVisitor visit, std::intptr_t param) const {
  XConnection* x = connection_.connection;
  if (x == nullptr) return;
  // The server lists the children bottom first; the desktop's enumeration
  // starts at the top.
  std::vector<xcb_window_t> tops = children_of(*x, x->root());
  std::ranges::reverse(tops);
  for (const xcb_window_t top : tops) {
    if (!x->usable()) return;
    if (!visit(WindowHandle{x, application_window(*x, top)}, param)) return;
  }
}

bool WindowSystem::wait_input_idle(const Process& process,
                                   std::chrono::milliseconds timeout) const {
  if (connection_.connection == nullptr) return false;
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
    if (!connection_.connection->usable() || std::chrono::steady_clock::now() >= deadline) {
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

bool WindowSystem::answers(WindowHandle window, std::chrono::milliseconds timeout) const {
  XConnection* x = window.connection;
  if (x == nullptr || x != connection_.connection) return false;
  const XAtoms& atoms = x->atoms();
  const auto asked = std::chrono::steady_clock::now();
  if (!offers_ping(*x, window.id)) return false;
  // The time-out is the window's to answer in. The ping crosses the server
  // twice, out to the window and back, each way about as long as the round
  // trip just made, so the wait has that on top of the time-out.
  const auto round_trip = std::chrono::steady_clock::now() - asked;
  const XConnection::Bound bound(
      *x, std::chrono::steady_clock::now() + timeout + 2 * round_trip);

  // The answer is the same message sent back to the root window.
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
  xcb_change_window_attributes(x->get(), x->root(), XCB_CW_EVENT_MASK, &mask);
  const std::uint32_t token = g_ping_token.fetch_add(1);
  xcb_client_message_event_t ping{};
  ping.response_type = XCB_CLIENT_MESSAGE;
  ping.format = 32;
  ping.window = window.id;
  ping.type = atoms.wm_protocols;
  ping.data.data32[0] = atoms.net_wm_ping;
  ping.data.data32[1] = token;
  ping.data.data32[2] = window.id;
  xcb_send_event(x->get(), 0, window.id, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&ping));
  return x->wait_event([&](const xcb_generic_event_t& event) {
    // The top bit marks an event that a client sent.
    if ((event.response_type & 0x7F) != XCB_CLIENT_MESSAGE) return false;
    const auto& answer = reinterpret_cast<const xcb_client_message_event_t&>(event);
    return answer.type == atoms.wm_protocols && answer.format == 32 &&
           answer.data.data32[0] == atoms.net_wm_ping && answer.data.data32[1] == token &&
           answer.data.data32[2] == window.id;
  });
}

std::uint32_t window_process_id(WindowHandle window) {
  if (window.connection == nullptr) return 0;
  XConnection& x = *window.connection;
  const auto reply = get_property(x, window.id, x.atoms().net_wm_pid, XCB_ATOM_CARDINAL, 1);
  const auto pid = items32(reply, XCB_ATOM_CARDINAL);
  return pid.size() == 1 ? pid[0] : 0;
}

// A window manager unmaps a minimised window and marks it Iconic, where the
// desktop the product runs on still counts it as visible; a window on another
// workspace may likewise be unmapped and stay Normal.
bool window_visible(WindowHandle window) {
  if (window.connection == nullptr) return false;
  XConnection& x = *window.connection;
  const auto attributes = x.reply<xcb_get_window_attributes_reply_t>(
      xcb_get_window_attributes(x.get(), window.id).sequence);
  if (!attributes) return false;
  if (attributes->map_state == XCB_MAP_STATE_VIEWABLE) return true;
  const auto reply = get_property(x, window.id, x.atoms().wm_state, x.atoms().wm_state, 1);
  const auto state = items32(reply, x.atoms().wm_state);
  return state.size() == 1 && (state[0] == kNormalState || state[0] == kIconicState);
}

std::size_t window_title(WindowHandle window, std::span<char16_t> buffer) {
  if (window.connection != nullptr) {
    XConnection& x = *window.connection;
    if (auto name = read_text_property(x, window.id, x.atoms().net_wm_name);
        name && name->type == x.atoms().utf8_string) {
      return utf8_units(name->bytes, buffer);
    }
    if (auto name = read_text_property(x, window.id, XCB_ATOM_WM_NAME)) {
      return property_units(*name, name->bytes, buffer);
    }
  }
  return UnitWriter(buffer).finish();
}

std::size_t window_class_name(WindowHandle window, std::span<char16_t> buffer) {
  if (window.connection != nullptr) {
    // WM_CLASS holds the instance name and then the class name, each ended by a zero.
    if (auto hint = read_text_property(*window.connection, window.id, XCB_ATOM_WM_CLASS)) {
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
