// UTF-8 and UTF-16 text for the Win32 calls of the platform layer.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvo::platform {

// UTF-16 of UTF-8 text; each invalid sequence becomes U+FFFD.
std::wstring wide_text(std::string_view text);

// UTF-8 of UTF-16 text; each unpaired surrogate becomes U+FFFD.
std::string utf8_text(std::wstring_view text);

// UTF-8 of UTF-16 text, or nullopt when it holds an unpaired surrogate.
std::optional<std::string> exact_utf8_text(std::wstring_view text);

}  // namespace orvo::platform
