#include <sys/wait.h>
#include <unistd.h>

#include <utility>

#include "platform/process.hpp"

namespace orvo::platform {

Process::Process(Process&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), pidfd_(std::exchange(other.pidfd_, -1)) {}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    release();
    pid_ = std::exchange(other.pid_, -1);
    pidfd_ = std::exchange(other.pidfd_, -1);
  }
  return *this;
}

Process::~Process() { release(); }

bool Process::valid() const { return pidfd_ >= 0; }

void Process::release() noexcept {
  if (pidfd_ >= 0) {
    // An ended child is reaped here, so that it leaves no zombie; a running
    // one is left to run.
    siginfo_t info{};
    ::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(pidfd_), &info, WEXITED | WNOHANG);
    ::close(pidfd_);
  }
  pidfd_ = -1;
  pid_ = -1;
}

}  // namespace orvo::platform
