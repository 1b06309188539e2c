// Paths as the Win32 file calls take them. A "\\?\" path reaches past
// MAX_PATH and is taken literally (no "." or ".." handling, no trailing-dot
// trimming, no device names), so it is only formed from a full path.
#pragma once

#include <filesystem>
#include <string>

namespace orvo::platform {

// The full path: relative elements resolved against the current folder.
std::wstring full_path(const std::filesystem::path& path);

// The full path in the "\\?\" form ("\\?\UNC\" for a share), without
// trailing separators except at a root.
std::wstring system_path(const std::filesystem::path& path);

}  // namespace orvo::platform
