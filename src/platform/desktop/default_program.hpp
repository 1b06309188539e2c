// Opening a file with the program the desktop associates with it.
#pragma once

#include <filesystem>

namespace orvo::platform {

// The outcome is not reported: a missing file or association changes nothing.
// owner is the window that asks (an HWND on Win32, where the system may place
// its own messages over it); POSIX desktops take no owner.
void open_with_default_program(const std::filesystem::path& file, void* owner = nullptr);

}  // namespace orvo::platform
