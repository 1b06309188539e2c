// The per-user folder that holds the versions cache, staging folders and the log:
// LOCALAPPDATA joined with "ORVO" and "HostLauncher".
#pragma once

#include <filesystem>

#include "base/error.hpp"

namespace orvo::core {

// Nothing is created or examined on disk.
Result<std::filesystem::path> launcher_cache_root();

}  // namespace orvo::core
