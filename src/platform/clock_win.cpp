#include "platform/clock.hpp"

#include "platform/win32.hpp"

namespace orvo::platform {

std::uint64_t system_time_since_1601() {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

}  // namespace orvo::platform
