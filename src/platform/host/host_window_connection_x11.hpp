// A connection to the X server for the host's window search in which no wait
// outlasts its deadline, whatever the server does: the setup, every reply and
// every awaited event. A reply that does not come in time counts as none, and
// the connection is then given up (it answers nothing more, at once), so a
// server that hangs costs each connection one time-out at most.
#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/host/host_window_handles_x11.hpp"

namespace orvo::platform {

using XDeadline = std::chrono::steady_clock::time_point;

// How long one wait lasts that no bound of its own covers, and the setup.
inline constexpr std::chrono::milliseconds kXExchangeLimit{500};

struct FreeXReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <class T>
using XReply = std::unique_ptr<T, FreeXReply>;

// The atoms the search uses that the protocol does not predefine.
struct XAtoms {
  xcb_atom_t wm_state = XCB_NONE;
  xcb_atom_t wm_protocols = XCB_NONE;
  xcb_atom_t net_wm_ping = XCB_NONE;
  xcb_atom_t net_wm_pid = XCB_NONE;
  xcb_atom_t net_wm_name = XCB_NONE;
  xcb_atom_t utf8_string = XCB_NONE;
};

class XConnection {
 public:
  // The display by name, its setup and then its atoms each within the limit;
  // nothing when it is missing, refuses, or does not finish in time. While one setup with a
  // display hangs, no other is tried with it.
  static std::unique_ptr<XConnection> open(const std::string& display,
                                           std::chrono::milliseconds limit);
  XConnection(const XConnection&) = delete;
  XConnection& operator=(const XConnection&) = delete;
  ~XConnection();

  xcb_connection_t* get() const { return connection_; }
  xcb_window_t root() const { return root_; }
  const XAtoms& atoms() const { return atoms_; }

  // False once the connection is lost or given up.
  bool usable() const;

  // The reply to the request with this sequence number; nothing for an error,
  // a lost connection, or a reply that did not come by the deadline.
  template <class T>
  XReply<T> reply(unsigned int sequence) {
    return XReply<T>(static_cast<T*>(wait_reply(sequence)));
  }

  // Sends what is buffered and waits until the deadline for an event that
  // wanted accepts; other events are dropped. Running out gives up nothing.
  bool wait_event(const std::function<bool(const xcb_generic_event_t&)>& wanted);

  // One deadline for every wait made while it lives; without one, each wait
  // has kXExchangeLimit from its start.
  class Bound {
   public:
    Bound(XConnection& connection, XDeadline deadline);
    Bound(XConnection& connection, std::chrono::milliseconds limit);
    Bound(const Bound&) = delete;
    Bound& operator=(const Bound&) = delete;
    ~Bound();

   private:
    XConnection& connection_;
    std::optional<XDeadline> saved_;
  };

 private:
  explicit XConnection(xcb_connection_t* connection) : connection_(connection) {}
  void* wait_reply(unsigned int sequence);
  XDeadline deadline() const;
  // Whether the connection has something to read before the deadline.
  bool readable_by(XDeadline deadline) const;

  xcb_connection_t* connection_;
  xcb_window_t root_ = XCB_NONE;
  XAtoms atoms_;
  std::optional<XDeadline> bound_;
  bool given_up_ = false;
};

}  // namespace orvo::platform
