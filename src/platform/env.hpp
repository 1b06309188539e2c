// The process environment.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace orvo::platform {

// A variable's value as a path; nullopt when it is not set (an empty value is set).
std::optional<std::filesystem::path> env_path(const char* name);

// A variable's value as UTF-8 text; nullopt when it is not set.
std::optional<std::string> env_text(const char* name);

// The user's temporary folder.
std::filesystem::path temp_folder();

}  // namespace orvo::platform
