#include "platform/os_error.hpp"

#include <cerrno>
#include <cstring>

namespace orvo::platform {

core::Error os_error(int code) {
  char buffer[256] = {};
  // The GNU strerror_r returns the text, which may or may not be the buffer.
  const char* text = strerror_r(code, buffer, sizeof buffer);
  return core::Error::os(code, text);
}

core::Error last_os_error() { return os_error(errno); }

}  // namespace orvo::platform
