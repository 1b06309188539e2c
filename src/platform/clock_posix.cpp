#include "platform/clock.hpp"

#include <ctime>

namespace orvo::platform {

std::uint64_t system_time_since_1601() {
  constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const std::int64_t seconds = static_cast<std::int64_t>(now.tv_sec) + kSecondsFrom1601To1970;
  if (seconds < 0) return 0;
  return static_cast<std::uint64_t>(seconds) * 10'000'000u +
         static_cast<std::uint64_t>(now.tv_nsec) / 100u;
}

}  // namespace orvo::platform
