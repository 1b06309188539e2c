// The process environment.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "base/error.hpp"

namespace orvo::platform {

// A variable's value as a path; nullopt when it is not set (an empty value is set).
std::optional<std::filesystem::path> env_path(const char* name);

// A variable's value as UTF-8 text; nullopt when it is not set.
std::optional<std::string> env_text(const char* name);

// The user's local application-data folder: LOCALAPPDATA. On Linux, where
// no session sets it, the user's data folder stands in for it (XDG_DATA_HOME
// when absolute, else $HOME/.local/share); nullopt when none can be found.
std::optional<std::filesystem::path> local_app_data_folder();

// The user's temporary folder.
std::filesystem::path temp_folder();

// A temporary folder that only this user can write: on Windows the user's
// temporary folder; on Linux the user's private folder (XDG_RUNTIME_DIR, else
// a per-user folder made for the purpose). Fails when none can be had.
core::Result<std::filesystem::path> private_temp_folder();

}  // namespace orvo::platform
