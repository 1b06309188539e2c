// Byte text made valid UTF-8 the way a browser decodes it: every ill-formed
// sequence (a lone continuation byte, a truncated sequence, an overlong form,
// a surrogate, a code point above U+10FFFF) becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace orvo::core {

std::string repair_utf8(std::string_view bytes);

}  // namespace orvo::core
