// The system clock in the form the log needs.
#pragma once

#include <cstdint>

namespace orvo::platform {

// The current time as 100-nanosecond intervals since 1601-01-01 00:00:00 UTC;
// 0 for a clock set before 1601.
std::uint64_t system_time_since_1601();

}  // namespace orvo::platform
