#include <string>

#include "platform/desktop/window_activation.hpp"
#include "platform/wide_text_win.hpp"
#include "platform/win32.hpp"

namespace orvo::platform {

bool restore_and_raise_window(std::string_view class_name) {
  const std::wstring wide = wide_text(class_name);
  HWND window = FindWindowW(wide.c_str(), nullptr);
  if (window == nullptr) return false;
  // Both results are ignored: the system may refuse the foreground to a
  // process that has had no input.
  ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
  return true;
}

}  // namespace orvo::platform
