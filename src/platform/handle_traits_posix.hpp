// POSIX handles: file descriptors, invalid at -1.
#pragma once

#include "platform/unique_handle.hpp"

namespace orvo::platform {

struct FdTraits {
  using Native = int;
  static constexpr Native invalid() noexcept { return -1; }
  static void close(Native fd) noexcept;
};

using UniqueFd = UniqueHandle<FdTraits>;
using NativeFile = UniqueFd;

}  // namespace orvo::platform
