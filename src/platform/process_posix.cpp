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
  if (pidfd_ >= 0) ::close(pidfd_);
  pidfd_ = -1;
  pid_ = -1;
}

}  // namespace orvo::platform
