// <shellapi.h> needs the declarations of <windows.h> before it.
#include "platform/win32.hpp"

#include <shellapi.h>

#include "platform/desktop/default_program.hpp"

namespace orvo::platform {

void open_with_default_program(const std::filesystem::path& file, void* owner) {
  // The path is UTF-16 already; the result is not examined.
  ShellExecuteW(static_cast<HWND>(owner), L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace orvo::platform
