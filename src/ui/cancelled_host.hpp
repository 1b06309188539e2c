// A host that a cancelled attempt started: it is ended and waited for before
// the window closes. The wait is bounded, so that a host that cannot be
// ended never holds the window thread for long.
#pragma once

#include <chrono>
#include <cstdint>

#include "platform/process.hpp"

namespace orvo::ui {

inline constexpr std::uint32_t kCancelledHostExitCode = 1;
inline constexpr std::chrono::milliseconds kCancelledHostWait{5000};

// Failures to end the host or to see it end are ignored; the caller releases
// the process value afterwards either way.
void end_cancelled_host(const platform::Process& host,
                        std::chrono::milliseconds wait = kCancelledHostWait);

}  // namespace orvo::ui
