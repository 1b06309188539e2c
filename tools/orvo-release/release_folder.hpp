// The files of a release folder: every plain file below it, by its package
// path ('/'-separated, relative to the folder), in byte order of the paths.
// Links and special files are refused, as the launcher would never install them.
#pragma once

#include <filesystem>
#include <vector>

#include "base/error.hpp"
#include "core/release/manifest.hpp"

namespace orvo::release_tool {

using core::Result;

// Paths and sizes only; the digests are left empty.
Result<std::vector<core::ManifestFile>> list_release_folder(const std::filesystem::path& folder);

// Fills in every file's digest, refusing a file whose size has changed since it was listed.
Result<void> digest_release_files(const std::filesystem::path& folder,
                                  std::vector<core::ManifestFile>& files);

}  // namespace orvo::release_tool
