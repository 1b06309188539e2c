// ASCII-only case folding, for comparisons that must not depend on a locale:
// 'A' to 'Z' become 'a' to 'z' (or back), every other byte stays as it is.
#pragma once

#include <string>
#include <string_view>

namespace orvo::core {

constexpr char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string ascii_lower(std::string_view text);
std::string ascii_upper(std::string_view text);

}  // namespace orvo::core
