// Win32 handles. A file handle is invalid at INVALID_HANDLE_VALUE; the handles
// of processes, threads and mutexes are invalid at null. Both close with
// CloseHandle.
#pragma once

#include <cstdint>

#include "platform/unique_handle.hpp"

namespace orvo::platform {

struct Win32FileTraits {
  using Native = void*;  // HANDLE
  // INVALID_HANDLE_VALUE, without <windows.h> in every file that owns a handle.
  static Native invalid() noexcept { return reinterpret_cast<Native>(static_cast<std::intptr_t>(-1)); }
  static void close(Native handle) noexcept;
};

struct Win32KernelTraits {
  using Native = void*;  // HANDLE
  static constexpr Native invalid() noexcept { return nullptr; }
  static void close(Native handle) noexcept;
};

using NativeFile = UniqueHandle<Win32FileTraits>;
using KernelHandle = UniqueHandle<Win32KernelTraits>;

}  // namespace orvo::platform
