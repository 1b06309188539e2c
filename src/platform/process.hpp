// A started process, owned: dropping it releases the handles and leaves the
// process running (on Linux a child that has already ended is reaped then).
// Move-only. What it holds is per system: process_handles_<system>.hpp.
#pragma once

#include <utility>

#ifdef _WIN32
#include "platform/process_handles_win.hpp"
#else
#include "platform/process_handles_linux.hpp"
#endif

namespace orvo::platform {

class Process {
 public:
  Process() = default;
  explicit Process(ProcessHandles handles) noexcept : handles_(std::move(handles)) {}

  const ProcessHandles& handles() const { return handles_; }
  bool valid() const { return handles_.valid(); }

 private:
  ProcessHandles handles_;
};

}  // namespace orvo::platform
