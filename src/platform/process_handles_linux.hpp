// A child process on Linux: its id and a pidfd for it. Closing the pidfd
// reaps a child that has already ended, so that it leaves no zombie; a
// running one is left to run.
#pragma once

#include "platform/unique_handle.hpp"

namespace orvo::platform {

struct ChildPidfdTraits {
  using Native = int;
  static constexpr Native invalid() noexcept { return -1; }
  static void close(Native pidfd) noexcept;
};

struct ProcessHandles {
  int pid = -1;
  UniqueHandle<ChildPidfdTraits> pidfd;

  bool valid() const { return pidfd.valid(); }
};

}  // namespace orvo::platform
