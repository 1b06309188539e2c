// JSON string literals: the text in double quotes with the escapes for the
// double quote, the backslash and the control characters.
#pragma once

#include <string>
#include <string_view>

namespace orvo::core {

void append_json_string(std::string& out, std::string_view text);

}  // namespace orvo::core
