// A process on Windows: its id and the process and main-thread handles that
// CreateProcessW returned.
#pragma once

#include <cstdint>

#include "platform/handle_traits_win.hpp"

namespace orvo::platform {

struct ProcessHandles {
  std::uint32_t id = 0;
  KernelHandle process;
  KernelHandle thread;

  bool valid() const { return process.valid(); }
};

}  // namespace orvo::platform
