// The JSON texts of a release: the manifest, and the signed envelope that
// carries a manifest's bytes with their signature.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "core/release/manifest.hpp"
#include "orvo-release/signing_key.hpp"

namespace orvo::release_tool {

// Compact JSON, keys in declared order.
std::string manifest_json(const core::Manifest& manifest);

// {"payload":"<Base64 of payload>","signature":"<hex of its signature>"}; the
// payload is signed as it is, never re-encoded.
std::string envelope_json(std::span<const std::byte> payload, const SigningKey& key);
std::string envelope_json(std::span<const std::byte> payload, std::string_view signature_hex);

}  // namespace orvo::release_tool
