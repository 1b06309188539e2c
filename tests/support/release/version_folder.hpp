// A version folder as the launcher leaves it after an activation: the
// release's files, the signed envelope beside them and, once the version has
// started, its working marker.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "support/release/release_builder.hpp"

namespace orvo::test {

// Writes the folder; marker is the working marker's text, nullopt for a
// version that never started.
void write_version_folder(const std::filesystem::path& folder, std::span<const ReleaseFile> files,
                          const std::string& envelope, const std::optional<std::string>& marker);

}  // namespace orvo::test
