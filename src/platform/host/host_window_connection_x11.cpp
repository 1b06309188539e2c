#include "platform/host/host_window_connection_x11.hpp"

#include <poll.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/thread.hpp"

namespace orvo::platform {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// The library's setup of a connection reads the server's greeting without any
// time-out, so it runs on a thread of its own that a caller stops waiting for.
// A setup nobody waits for any more closes its connection when it ends.
struct PendingSetup {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool abandoned = false;
  xcb_connection_t* connection = nullptr;
  int screen = 0;
};

// Displays with an abandoned setup still hanging: trying again would only add
// a hanging thread per poll. Never destroyed, since such a thread may still
// end while the process exits.
struct HangingSetups {
  std::mutex mutex;
  std::vector<std::string> displays;
};

HangingSetups& hanging_setups() {
  static auto* const setups = new HangingSetups;
  return *setups;
}

bool setup_hanging(const std::string& display) {
  HangingSetups& hanging = hanging_setups();
  const std::lock_guard lock(hanging.mutex);
  return std::ranges::find(hanging.displays, display) != hanging.displays.end();
}

void run_setup(const std::shared_ptr<PendingSetup>& pending, const std::string& display) {
  int screen = 0;
  xcb_connection_t* connection = xcb_connect(display.c_str(), &screen);
  const std::lock_guard lock(pending->mutex);
  if (pending->abandoned) {
    xcb_disconnect(connection);
    HangingSetups& hanging = hanging_setups();
    const std::lock_guard hanging_lock(hanging.mutex);
    hanging.displays.erase(std::ranges::find(hanging.displays, display));
    return;
  }
  pending->connection = connection;
  pending->screen = screen;
  pending->done = true;
  pending->finished.notify_all();
}

// The connection's setup, or null when it did not finish by the deadline.
xcb_connection_t* set_up(const std::string& display, XDeadline deadline, int& screen) {
  auto pending = std::make_shared<PendingSetup>();
  if (!start_detached_thread([pending, display] { run_setup(pending, display); },
                             "orvo-x-connect")) {
    return nullptr;
  }
  std::unique_lock lock(pending->mutex);
  if (!pending->finished.wait_until(lock, deadline, [&] { return pending->done; })) {
    pending->abandoned = true;
    HangingSetups& hanging = hanging_setups();
    const std::lock_guard hanging_lock(hanging.mutex);
    hanging.displays.push_back(display);
    return nullptr;
  }
  screen = pending->screen;
  return pending->connection;
}

xcb_window_t root_of(xcb_connection_t* connection, int screen) {
  xcb_screen_iterator_t roots = xcb_setup_roots_iterator(xcb_get_setup(connection));
  for (int i = 0; i < screen && roots.rem > 0; ++i) xcb_screen_next(&roots);
  return roots.rem > 0 ? roots.data->root : XCB_NONE;
}

}  // namespace

std::unique_ptr<XConnection> XConnection::open(const std::string& display, milliseconds limit) {
  const XDeadline deadline = steady_clock::now() + limit;
  if (display.empty() || setup_hanging(display)) return nullptr;
  int screen = 0;
  xcb_connection_t* connection = set_up(display, deadline, screen);
  if (connection == nullptr) return nullptr;
  std::unique_ptr<XConnection> x(new XConnection(connection));
  if (xcb_connection_has_error(connection) != 0) return nullptr;
  x->root_ = root_of(connection, screen);
  if (x->root_ == XCB_NONE) return nullptr;

  // The atoms' round trip has a limit of its own beside the setup's: on a
  // remote display each takes its share.
  const Bound bound(*x, limit);
  XAtoms& atoms = x->atoms_;
  const std::array<std::pair<std::string_view, xcb_atom_t*>, 6> wanted = {{
      {"WM_STATE", &atoms.wm_state},
      {"WM_PROTOCOLS", &atoms.wm_protocols},
      {"_NET_WM_PING", &atoms.net_wm_ping},
      {"_NET_WM_PID", &atoms.net_wm_pid},
      {"_NET_WM_NAME", &atoms.net_wm_name},
      {"UTF8_STRING", &atoms.utf8_string},
  }};
  // All asked at once: one round trip rather than six.
  std::array<xcb_intern_atom_cookie_t, wanted.size()> cookies{};
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    cookies[i] = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(wanted[i].first.size()),
                                 wanted[i].first.data());
  }
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    const auto reply = x->reply<xcb_intern_atom_reply_t>(cookies[i].sequence);
    if (!reply) return nullptr;
    *wanted[i].second = reply->atom;
  }
  return x;
}

XConnection::~XConnection() { xcb_disconnect(connection_); }

bool XConnection::usable() const {
  return !given_up_ && xcb_connection_has_error(connection_) == 0;
}

XDeadline XConnection::deadline() const {
  return bound_ ? *bound_ : steady_clock::now() + kXExchangeLimit;
}

bool XConnection::readable_by(XDeadline deadline) const {
  for (;;) {
    const auto left = std::chrono::ceil<milliseconds>(deadline - steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd readable{.fd = xcb_get_file_descriptor(connection_), .events = POLLIN, .revents = 0};
    const int ready = ::poll(&readable, 1, static_cast<int>(std::min<long long>(left, INT_MAX)));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

// The library reads the socket only in its blocking calls and when asked for
// an event; asking for events is the reading here. Requests go out one reply
// at a time, so what a silent server leaves unread stays far below what the
// socket buffers, and sending never blocks.
void* XConnection::wait_reply(unsigned int sequence) {
  const XDeadline until = deadline();
  if (usable() && xcb_flush(connection_) > 0) {
    for (;;) {
      void* reply = nullptr;
      xcb_generic_error_t* error = nullptr;
      if (xcb_poll_for_reply(connection_, sequence, &reply, &error) != 0) {
        std::free(error);
        return reply;
      }
      if (xcb_connection_has_error(connection_) != 0) break;
      if (!readable_by(until)) {
        given_up_ = true;
        break;
      }
      while (XReply<xcb_generic_event_t> dropped{xcb_poll_for_event(connection_)}) {
      }
    }
  }
  xcb_discard_reply(connection_, sequence);
  return nullptr;
}

bool XConnection::wait_event(const std::function<bool(const xcb_generic_event_t&)>& wanted) {
  const XDeadline until = deadline();
  if (!usable() || xcb_flush(connection_) <= 0) return false;
  for (;;) {
    while (const XReply<xcb_generic_event_t> event{xcb_poll_for_event(connection_)}) {
      if (wanted(*event)) return true;
    }
    if (xcb_connection_has_error(connection_) != 0 || !readable_by(until)) return false;
  }
}

XConnection::Bound::Bound(XConnection& connection, XDeadline deadline)
    : connection_(connection), saved_(connection.bound_) {
  connection.bound_ = deadline;
}

XConnection::Bound::Bound(XConnection& connection, milliseconds limit)
    : Bound(connection, steady_clock::now() + limit) {}

XConnection::Bound::~Bound() { connection_.bound_ = saved_; }

}  // namespace orvo::platform
