// The configuration stage of an attempt: the release key decoded from its
// text, the cache root found, the context filled and the versions folder made.
// Its errors end the attempt at once, with no fallback.
#pragma once

#include <array>
#include <string_view>

#include "attempt/preparation_settings.hpp"
#include "base/cancel_flag.hpp"
#include "base/error.hpp"
#include "core/context/preparation_context.hpp"

namespace orvo::core {

// Hexadecimal text of either letter case. Text that is not hexadecimal (an
// odd number of digits included) is an invalid key; valid text of another
// length than 32 bytes means a build never configured for distribution.
Result<std::array<unsigned char, 32>> decode_release_key(std::string_view text);

Result<PreparationContext> configure_attempt(const PreparationSettings& settings,
                                             const CancelFlag& cancel);

}  // namespace orvo::core
