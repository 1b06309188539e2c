// Whether 32 bytes decode as a point of the Ed25519 curve (RFC 8032, 5.1.3).
// The signature library only verifies; it cannot tell a key that is no point
// at all from one of small order, and the launcher reports the two apart.
#pragma once

#include <span>

#include "base/error.hpp"

namespace orvo::core {

Result<void> check_ed25519_point(std::span<const unsigned char, 32> encoding);

}  // namespace orvo::core
