#include "platform/random.hpp"

#include <sys/random.h>

#include <cerrno>

#include "platform/os_error.hpp"

namespace orvo::platform {

core::Result<void> fill_random(std::span<std::byte> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    // getrandom hands out at most 32 MiB - 1 per call and may be interrupted.
    const ssize_t got = ::getrandom(bytes.data() + done, bytes.size() - done, 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return core::fail(last_os_error());
    }
    done += static_cast<std::size_t>(got);
  }
  return {};
}

}  // namespace orvo::platform
