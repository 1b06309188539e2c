// ASCII-only case folding, for comparisons that must not depend on a locale:
// 'A' to 'Z' become 'a' to 'z', every other byte stays as it is.
#pragma once

#include <string>
#include <string_view>

namespace orvo::core {

std::string ascii_lower(std::string_view text);

}  // namespace orvo::core
