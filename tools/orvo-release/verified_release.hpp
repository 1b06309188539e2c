// A release as the launcher accepts it: the envelope file read with the
// launcher's limit and passed through verify_release with the given key text.
#pragma once

#include <filesystem>
#include <string_view>

#include "base/error.hpp"
#include "core/release/manifest.hpp"

namespace orvo::release_tool {

// key_hex: the 64 hexadecimal digits of the release key.
core::Result<core::Manifest> read_verified_release(std::string_view key_hex,
                                                   const std::filesystem::path& envelope_file);

}  // namespace orvo::release_tool
