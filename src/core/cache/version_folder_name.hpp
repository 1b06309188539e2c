// The name of an activated version folder: the release sequence in decimal,
// the first 16 digits of the package SHA-256 and the 16 hexadecimal digits of
// a random installation ID, joined by hyphens. The ID keeps two activations of
// one release apart.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/error.hpp"

namespace orvo::core {

using InstallationId = std::array<unsigned char, 8>;

// Eight bytes from the system's random number generator; on failure one error
// "Cannot create an installation ID: <the generator's error>".
Result<InstallationId> draw_installation_id();

// package_sha256 is a verified digest text of 64 lower-case hexadecimal digits.
std::string version_folder_name(std::uint64_t sequence, std::string_view package_sha256,
                                const InstallationId& id);

}  // namespace orvo::core
