// The signed release envelope and the release manifest read from their JSON
// text under the strict record rules of core/record_reader.hpp. Reading checks
// only the form; what the values must be is verify_release's part.
#pragma once

#include <string_view>

#include "base/error.hpp"
#include "core/release/manifest.hpp"

namespace orvo::core {

Result<SignedEnvelope> read_signed_envelope(std::string_view json);
Result<Manifest> read_manifest(std::string_view json);

}  // namespace orvo::core
