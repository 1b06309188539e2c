// The public root certificates built into the program (resources/roots.pem,
// from Debian's ca-certificates via scripts/update-roots): the only authorities
// that download servers are verified against.
#pragma once

#include <string_view>

namespace orvo::core {

// Every certificate as PEM text, one after another.
std::string_view builtin_roots_pem();

}  // namespace orvo::core
