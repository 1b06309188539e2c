// The top-level windows of the desktop as the host's window search sees them:
// their enumeration, the process each belongs to, whether it is visible, its
// title and class name as UTF-16 text, and whether its process is ready for
// input and the window answers.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/process.hpp"

#ifdef _WIN32
#include "platform/host/host_window_handles_win.hpp"
#else
#include "platform/host/host_window_handles_x11.hpp"
#endif

namespace orvo::platform {

inline constexpr WindowHandle kNoWindow{};

// Called once per top-level window; returns true to go on, false to stop.
using WindowVisitor = bool (*)(WindowHandle window, std::intptr_t param);

// A connection to the window system, for one round of searching and testing;
// the handles it hands out are valid while it lives. On POSIX it connects to
// the X display named by DISPLAY; without one it simply has no windows. No
// single wait for the X server lasts past half a second (answers waits for
// the answer its time-out and the display's round trips, wait_input_idle
// keeps to its own and one enumeration): a server that does not answer in
// time is given up, and then has no windows, and its windows no properties
// and no answer.
class WindowSystem {
 public:
  WindowSystem();
  WindowSystem(const WindowSystem&) = delete;
  WindowSystem& operator=(const WindowSystem&) = delete;
  ~WindowSystem();

  // Visits the top-level windows in stacking order, top first. On POSIX a
  // window manager's frame is visited as the application window inside it.
  void enumerate_windows(WindowVisitor visit, std::intptr_t param) const;

  // Whether the process is ready for input within the time-out. On POSIX:
  // it has a mapped top-level window.
  bool wait_input_idle(const Process& process, std::chrono::milliseconds timeout) const;

  // Whether the window answers within the time-out. On POSIX: a _NET_WM_PING
  // round trip, which only a window that offers that protocol can make.
  bool answers(WindowHandle window, std::chrono::milliseconds timeout) const;

 private:
  WindowConnection connection_;
};

// The id of the process that owns the window; 0 when it cannot be told.
std::uint32_t window_process_id(WindowHandle window);

// Whether the window is shown; a minimised window is. On POSIX: mapped, or in
// the Normal or Iconic state of its window manager.
bool window_visible(WindowHandle window);

// The window's title and its class name, as far as they fit in the buffer
// with a terminating zero unit; the result is the number of units written
// before that zero. Text that is not valid UTF-8 arrives with U+FFFD in place
// of each faulty sequence.
std::size_t window_title(WindowHandle window, std::span<char16_t> buffer);
std::size_t window_class_name(WindowHandle window, std::span<char16_t> buffer);

}  // namespace orvo::platform
