#include "platform/clock.hpp"

#include "platform/long_path_win.hpp"
#include "platform/os_error.hpp"
#include "platform/win32.hpp"

namespace orvo::platform {
namespace {

std::uint64_t since_1601(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

std::uint64_t system_time_since_1601() {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  return since_1601(now);
}

core::Result<std::uint64_t> entry_write_time(const std::filesystem::path& path) {
  // GetFileAttributesExW describes a reparse point itself, never its target.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(system_path(path).c_str(), GetFileExInfoStandard, &data)) {
    return std::unexpected(last_os_error());
  }
  return since_1601(data.ftLastWriteTime);
}

}  // namespace orvo::platform
