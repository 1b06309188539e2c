// UTF-16 units, as the window system hands out titles and class names, turned
// into UTF-8 text.
#pragma once

#include <span>
#include <string>

namespace orvo::launch {

// Each unpaired surrogate becomes U+FFFD.
std::string utf16_text(std::span<const char16_t> units);

}  // namespace orvo::launch
