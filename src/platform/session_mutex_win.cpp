#include <string>

#include "platform/os_error.hpp"
#include "platform/session_mutex.hpp"
#include "platform/wide_text_win.hpp"
#include "platform/win32.hpp"

namespace orvo::platform {
namespace {

constexpr std::string_view kLocalPrefix = "Local\\";

// The kernel would take other namespaces ("Global\", none at all); the
// launcher's names are session-local by contract, so anything else is refused.
bool is_session_local(std::string_view name) {
  return name.starts_with(kLocalPrefix) && name.size() > kLocalPrefix.size() &&
         name.find('\0') == std::string_view::npos;
}

}  // namespace

core::Result<CreatedSessionMutex> create_session_mutex(std::string_view name) {
  if (!is_session_local(name)) return core::fail("Invalid session object name");
  const std::wstring wide = wide_text(name);
  // Not initially owned and never waited on: the name's existence is the marker.
  KernelHandle handle(CreateMutexW(nullptr, FALSE, wide.c_str()));
  if (!handle.valid()) return std::unexpected(last_os_error());
  // Read before any other call can change it.
  if (GetLastError() == ERROR_ALREADY_EXISTS) return CreatedSessionMutex{.mutex = {}, .already_existed = true};
  return CreatedSessionMutex{.mutex = SessionMutex(std::move(handle)), .already_existed = false};
}

bool session_mutex_exists(std::string_view name) {
  if (!is_session_local(name)) return false;
  const std::wstring wide = wide_text(name);
  // Access denied and every other failure count as no holder.
  const KernelHandle handle(OpenMutexW(SYNCHRONIZE, FALSE, wide.c_str()));
  return handle.valid();
}

}  // namespace orvo::platform
