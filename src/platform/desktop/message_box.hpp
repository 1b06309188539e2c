// Message boxes without a parent window: an icon, a caption, a text and one
// OK button.
#pragma once

#include <string_view>

namespace orvo::platform {

enum class MessageIcon { Error, Information };

// Returns once the box is dismissed, or at once when no display can show it.
// On POSIX the box's X11 window role is "orvo-error" or "orvo-information".
void show_message_box(std::string_view caption, std::string_view text, MessageIcon icon);

}  // namespace orvo::platform
