// Times as 100-nanosecond intervals since 1601-01-01 00:00:00 UTC: the system
// clock's, in the form the log needs, and when an entry was last written.
#pragma once

#include <cstdint>
#include <filesystem>

#include "base/error.hpp"

namespace orvo::platform {

// The current time; 0 for a clock set before 1601.
std::uint64_t system_time_since_1601();

// When the entry at the path itself (a link is not followed) was last
// written, on the same scale; 0 for a time before 1601.
core::Result<std::uint64_t> entry_write_time(const std::filesystem::path& path);

}  // namespace orvo::platform
