// Operating-system errors as error values.
#pragma once

#include "base/error.hpp"

namespace orvo::platform {

// The error for a system error code: "<the system's message> (os error <code>)".
core::Error os_error(int code);

// The error for the calling thread's last system error (errno, GetLastError).
core::Error last_os_error();

}  // namespace orvo::platform
