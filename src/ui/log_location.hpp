// Where the launcher log goes: "launcher.log" in the cache root, or in "ORVO"
// under the temporary folder when the cache root cannot be found. Nothing is
// created on disk here.
#pragma once

#include <filesystem>

#include "base/error.hpp"

namespace orvo::ui {

// Fails when neither folder can be had: the temporary folder is not an absolute path.
core::Result<std::filesystem::path> choose_log_path();

}  // namespace orvo::ui
