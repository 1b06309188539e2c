// Percent-encoding and -decoding of URL text, byte by byte, with the
// encode sets that the WHATWG URL Standard names. Bytes of 0x80 and above are
// always encoded, so encoding UTF-8 text byte-wise encodes each code point's
// UTF-8 form.
#pragma once

#include <string>
#include <string_view>

namespace orvo::core {

enum class EncodeSet {
  C0Control,     // C0 controls and everything above U+007E
  Fragment,      // C0Control plus space " < > `
  Query,         // C0Control plus space " # < >
  SpecialQuery,  // Query plus '
  Path,          // Query plus ? ^ ` { }
  Userinfo,      // Path plus / : ; = @ [ \ ] |
};

bool in_encode_set(unsigned char byte, EncodeSet set);

// Appends text to out, each byte of the set written as "%XX" (upper-case hex).
void percent_encode_append(std::string& out, std::string_view text, EncodeSet set);

// "%XX" sequences with two hexadecimal digits turned into their byte; any
// other '%' stays as it is.
std::string percent_decode(std::string_view text);

}  // namespace orvo::core
