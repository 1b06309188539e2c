// The text of the error that a 400 to 599 answer ends a request with:
// "HTTP status client error (404 Not Found) for url (https://…)". The reason
// phrase is the server's own bytes, so it is shown tamed: valid UTF-8, every
// control character, bidirectional control and backslash escaped, at most
// kShownReasonLimit bytes, so that the log line it ends up in stays one short
// line that reads as it was sent.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/url/url.hpp"

namespace orvo::core {

inline constexpr std::size_t kShownReasonLimit = 64;

// The reason phrase of a status line "HTTP/1.1 404 Not Found", as the server sent it.
std::string_view reason_phrase(std::string_view status_line);

// The phrase as the error shows it: control characters, bidirectional controls
// and the backslash as "\uXXXX" (lower-case hexadecimal); when that
// is longer than the limit, cut after a whole character and ended with "…".
std::string shown_reason(std::string_view reason);

std::string status_error_text(long status, std::string_view reason, const Url& url);

}  // namespace orvo::core
