// One Ed25519 key pair made from a fixed seed, so that every run of a fuzz
// target verifies against the same release key and can sign what it makes.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace orvo::fuzz {

std::span<const unsigned char, 32> fixed_release_key();

// The signed envelope {"payload":<Base64 of payload>,"signature":<hex>} of these bytes.
std::string signed_envelope(std::string_view payload);

}  // namespace orvo::fuzz
