// The launcher log: one line per event, "[<seconds since 1970>] <text>\n",
// started afresh (the old one kept as *.previous.log) once it passes 1,000,000
// bytes. Launchers of several sessions of one user may write it at once: each
// line and each rotation happens under a lock on the log, when the lock can be
// had within about 100 ms; a lock held longer by another only costs the
// rotation, and a file system without locks rotates all the same. Writing
// never fails: every error is ignored.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>

#include "platform/clock.hpp"

namespace orvo::core {

// Reads the current time as 100-nanosecond intervals since 1601.
using SystemClock = std::uint64_t (*)();

void write_log_line(const std::filesystem::path& log_path, std::string_view text,
                    SystemClock clock = platform::system_time_since_1601) noexcept;

// The whole seconds since 1970 of a time counted from 1601; 0 before 1970.
std::uint64_t seconds_since_1970(std::uint64_t intervals_since_1601);

}  // namespace orvo::core
