#include <string>

#include "platform/desktop/message_box.hpp"
#include "platform/wide_text_win.hpp"
#include "platform/win32.hpp"

namespace orvo::platform {

void show_message_box(std::string_view caption, std::string_view text, MessageIcon icon) {
  const std::wstring wide_caption = wide_text(caption);
  const std::wstring wide_body = wide_text(text);
  const UINT style = MB_OK | (icon == MessageIcon::Error ? MB_ICONERROR : MB_ICONINFORMATION);
  MessageBoxW(nullptr, wide_body.c_str(), wide_caption.c_str(), style);
}

}  // namespace orvo::platform
