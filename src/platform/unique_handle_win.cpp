#include "platform/handle_traits_win.hpp"
#include "platform/win32.hpp"

namespace orvo::platform {

void Win32FileTraits::close(Native handle) noexcept { ::CloseHandle(handle); }
void Win32KernelTraits::close(Native handle) noexcept { ::CloseHandle(handle); }

}  // namespace orvo::platform
