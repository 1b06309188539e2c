// A stand-in for ORVO Host under X11. It reads "host-behaviour.txt" from its
// working folder, one setting per line ("name value"; a missing file or line
// keeps the default):
//   delay_ms N        wait N ms before anything else (0)
//   exit_code N       then exit with N instead of showing a window
//   title TEXT        window title, the rest of the line ("ORVO Host")
//   class TEXT        class part of WM_CLASS ("WindowsForms10.Window.8.app.0.test")
//   legacy_title      set the title only as WM_NAME, not as _NET_WM_NAME
//   hidden            create the window but never map it
//   iconic            start minimised: ask for it in WM_HINTS, and stand in
//                     for a window manager, which leaves the window unmapped
//                     and marks it with the Iconic WM_STATE
//   framed            put the window inside a frame, as a reparenting window
//                     manager does, and mark it with WM_STATE as managed
//                     (Withdrawn when hidden)
//   hang              never answer _NET_WM_PING
//   exit_after_ms N   exit with code 0 N ms after the window is shown
//   second_class TEXT then show a second window, above the first, whose class
//                     part of WM_CLASS is TEXT
//   ready_file PATH   once the window exists, write the process id there
// (outside the version folder, whose files the launcher checks). While it
// runs it holds the host-session name "Local\ORVO.Host.SupportSession", as
// ORVO Host does; a launcher started meanwhile refuses to run. It
// exits through _exit only, so that a sanitizer build reports no leaks of a
// process that is meant to vanish.
// Before Xlib, whose macros (None, for one) would clash with its names.
#include "platform/session_mutex.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include "behaviour.hpp"

namespace {

using orvo::test_host::Behaviour;
using orvo::test_host::read_behaviour;

void set_text_property(Display* display, Window window, const char* name, const char* type,
                       const std::string& value) {
  XChangeProperty(display, window, XInternAtom(display, name, False),
                  XInternAtom(display, type, False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(value.data()),
                  static_cast<int>(value.size()));
}

Window show_window(Display* display, const Behaviour& behaviour) {
  const Window root = DefaultRootWindow(display);
  Window parent = root;
  if (behaviour.framed) {
    // A frame of two levels, as window managers with decorations build them.
    parent = XCreateSimpleWindow(display, root, 0, 0, 220, 140, 0, 0, 0);
    XMapWindow(display, parent);
    parent = XCreateSimpleWindow(display, parent, 10, 30, 200, 100, 0, 0, 0);
    XMapWindow(display, parent);
  }
  const Window window = XCreateSimpleWindow(display, parent, 0, 0, 200, 100, 0, 0, 0);
  if (behaviour.iconic) {
    XWMHints hints{};
    hints.flags = StateHint;
    hints.initial_state = IconicState;
    XSetWMHints(display, window, &hints);
  }
  if (behaviour.framed || behaviour.iconic) {
    const Atom wm_state = XInternAtom(display, "WM_STATE", False);
    const long state[2] = {
        behaviour.iconic ? IconicState : (behaviour.hidden ? WithdrawnState : NormalState),
        static_cast<long>(None)};
    XChangeProperty(display, window, wm_state, wm_state, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(state), 2);
  }
  if (behaviour.legacy_title) {
    set_text_property(display, window, "WM_NAME", "STRING", behaviour.title);
  } else {
    set_text_property(display, window, "_NET_WM_NAME", "UTF8_STRING", behaviour.title);
    set_text_property(display, window, "WM_NAME", "UTF8_STRING", behaviour.title);
  }
  set_text_property(display, window, "WM_CLASS", "STRING",
                    std::string("orvo-host") + '\0' + behaviour.window_class + '\0');
  const long pid = static_cast<long>(getpid());
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
  Atom ping = XInternAtom(display, "_NET_WM_PING", False);
  XSetWMProtocols(display, window, &ping, 1);
  if (!behaviour.hidden && !behaviour.iconic) XMapWindow(display, window);
  XSync(display, False);
  return window;
}

}  // namespace

int main() {
  // Held until the process ends; without a runtime folder the host simply runs without it.
  const auto session = orvo::platform::create_session_mutex("Local\\ORVO.Host.SupportSession");
  const Behaviour behaviour = read_behaviour();
  std::this_thread::sleep_for(std::chrono::milliseconds(behaviour.delay_ms));
  if (behaviour.exit_code) _exit(*behaviour.exit_code);

  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    const char* name = std::getenv("DISPLAY");
    std::fprintf(stderr, "orvo_test_host: cannot open the display %s\n", name ? name : "(unset)");
    _exit(70);
  }
  show_window(display, behaviour);
  if (behaviour.second_class) {
    Behaviour second = behaviour;
    second.window_class = *behaviour.second_class;
    show_window(display, second);
  }
  if (!behaviour.ready_file.empty()) {
    // Written under another name and renamed, so that a reader never sees it half done.
    const std::string part = behaviour.ready_file + ".part";
    std::ofstream(part) << getpid();
    std::rename(part.c_str(), behaviour.ready_file.c_str());
  }

  const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
  const Atom ping = XInternAtom(display, "_NET_WM_PING", False);
  const Window root = DefaultRootWindow(display);
  const auto shown = std::chrono::steady_clock::now();
  for (;;) {
    while (XPending(display) > 0) {
      XEvent event{};
      XNextEvent(display, &event);
      if (event.type == ClientMessage && event.xclient.message_type == protocols &&
          static_cast<Atom>(event.xclient.data.l[0]) == ping && !behaviour.hang) {
        event.xclient.window = root;
        XSendEvent(display, root, False, SubstructureNotifyMask | SubstructureRedirectMask, &event);
        XFlush(display);
      }
    }
    int wait_ms = -1;
    if (behaviour.exit_after_ms) {
      const auto passed = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - shown)
                              .count();
      if (passed >= *behaviour.exit_after_ms) _exit(0);
      wait_ms = static_cast<int>(*behaviour.exit_after_ms - passed);
    }
    pollfd connection{.fd = ConnectionNumber(display), .events = POLLIN, .revents = 0};
    poll(&connection, 1, wait_ms);
  }
}
