// Text as the Windows calls of the launcher window take it: UTF-16 units with
// a terminating zero unit.
#pragma once

#include <string_view>
#include <vector>

namespace orvo::ui {

// Each character above U+FFFF becomes a surrogate pair, high unit first; an
// embedded U+0000 is kept like any other character. Bytes that are not valid
// UTF-8 arrive as U+FFFD, one per faulty sequence.
std::vector<char16_t> to_wide_null(std::string_view text);

}  // namespace orvo::ui
