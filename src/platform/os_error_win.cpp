#include "platform/os_error.hpp"

#include <string>

#include "platform/wide_text_win.hpp"
#include "platform/win32.hpp"

namespace orvo::platform {

core::Error os_error(int code) {
  wchar_t buffer[512] = {};
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(code), 0, buffer, static_cast<DWORD>(std::size(buffer)), nullptr);
  std::wstring_view text(buffer, length);
  // The system's texts end in a line break.
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.remove_suffix(1);
  }
  if (text.empty()) return core::Error::os(code, "Unknown error " + std::to_string(code));
  return core::Error::os(code, utf8_text(text));
}

core::Error last_os_error() { return os_error(static_cast<int>(::GetLastError())); }

}  // namespace orvo::platform
