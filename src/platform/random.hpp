// The operating system's random number generator, for the names of staging
// folders and the installation IDs of version folders.
#pragma once

#include <cstddef>
#include <span>

#include "base/error.hpp"

namespace orvo::platform {

// Fills bytes with random bytes from the system; a failure is the system's error.
core::Result<void> fill_random(std::span<std::byte> bytes);

}  // namespace orvo::platform
