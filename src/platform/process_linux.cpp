#include <sys/wait.h>
#include <unistd.h>

#include "platform/process.hpp"

namespace orvo::platform {

void ChildPidfdTraits::close(Native pidfd) noexcept {
  siginfo_t info{};
  ::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(pidfd), &info, WEXITED | WNOHANG);
  ::close(pidfd);
}

}  // namespace orvo::platform
