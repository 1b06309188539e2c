// Threads of the program's own: detached, with a 2 MiB stack and an optional
// name that debuggers and the system's process tools show.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "base/error.hpp"

namespace orvo::platform {

inline constexpr std::size_t kThreadStackSize = 2 * 1024 * 1024;

// Runs body on a new detached thread; nobody waits for its end. An empty name
// leaves the thread unnamed. Fails with the operating-system error when the
// thread cannot be created; body is then dropped unrun.
core::Result<void> start_detached_thread(std::move_only_function<void()> body,
                                         std::string name = {});

}  // namespace orvo::platform
