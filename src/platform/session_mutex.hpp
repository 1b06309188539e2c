// Named mutexes of the user's session, used only as markers: a name exists
// while some process holds it. Names take the session-local form
// "Local\<name>". On POSIX each name is a lock file in the user's private
// folder (XDG_RUNTIME_DIR, else a per-user one), held with flock while its
// holder lives, so a file that a crashed process left behind never counts.
#pragma once

#include <string_view>
#include <utility>

#include "base/error.hpp"
#include "platform/handle_traits.hpp"

namespace orvo::platform {

#ifdef _WIN32
using SessionMutexHandle = KernelHandle;
#else
using SessionMutexHandle = UniqueFd;
#endif

// A held name, released when the value goes away. Move-only.
class SessionMutex {
 public:
  SessionMutex() = default;
  explicit SessionMutex(SessionMutexHandle handle) noexcept : handle_(std::move(handle)) {}

 private:
  SessionMutexHandle handle_;
};

struct CreatedSessionMutex {
  SessionMutex mutex;
  // Another process held the name already; this value then holds nothing.
  bool already_existed = false;
};

// Creates the name without waiting for it. Fails when the session offers no
// place for named objects (on POSIX: no private folder) or the name is
// not of the session-local form.
core::Result<CreatedSessionMutex> create_session_mutex(std::string_view name);

// Whether a process holds the name; every failure to tell counts as no.
bool session_mutex_exists(std::string_view name);

}  // namespace orvo::platform
