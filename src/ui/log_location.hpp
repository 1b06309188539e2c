// Where the launcher log goes: "launcher.log" in the cache root, or in "ORVO"
// under the user's temporary folder when the cache root cannot be found. On
// Linux that folder is made here when missing (it must be checked to be the
// user's own); the log's own folders are made when it is first written.
#pragma once

#include <filesystem>

#include "base/error.hpp"

namespace orvo::ui {

// Fails when neither folder can be had.
core::Result<std::filesystem::path> choose_log_path();

}  // namespace orvo::ui
