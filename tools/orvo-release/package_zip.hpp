// Writes a release package: a new ZIP archive with one DEFLATE-compressed
// regular-file entry per listed file of a folder, named by its package path.
#pragma once

#include <filesystem>
#include <span>

#include "base/error.hpp"
#include "core/release/manifest.hpp"

namespace orvo::release_tool {

// An existing file at zip_path is never replaced.
core::Result<void> write_package_zip(const std::filesystem::path& folder,
                                     std::span<const core::ManifestFile> files,
                                     const std::filesystem::path& zip_path);

}  // namespace orvo::release_tool
