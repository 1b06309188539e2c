// The text encodings of a signed release: standard Base64 (RFC 4648 section 4,
// padding required, canonical, nothing ignored) and hexadecimal text (two
// digits per byte, either letter case).
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"

namespace orvo::core {

Result<std::vector<std::byte>> decode_base64(std::string_view text);
std::string encode_base64(std::span<const std::byte> bytes);

Result<std::vector<std::byte>> decode_hex(std::string_view text);

}  // namespace orvo::core
