#include "platform/env.hpp"

#include <cstdlib>

#include "platform/private_folder_posix.hpp"

namespace orvo::platform {

std::optional<std::filesystem::path> env_path(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::filesystem::path(value);
}

std::optional<std::string> env_text(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

std::optional<std::filesystem::path> local_app_data_folder() {
  if (auto local = env_path("LOCALAPPDATA")) return local;
  // A relative XDG_DATA_HOME is to be ignored, as the XDG base directories say.
  if (auto data = env_path("XDG_DATA_HOME"); data && data->is_absolute()) return data;
  if (auto home = env_path("HOME"); home && home->is_absolute()) return *home / ".local" / "share";
  return std::nullopt;
}

std::filesystem::path temp_folder() {
  const char* value = std::getenv("TMPDIR");
  if (value != nullptr && *value != '\0') return std::filesystem::path(value);
  return std::filesystem::path("/tmp");
}

core::Result<std::filesystem::path> private_temp_folder() { return private_folder(); }

}  // namespace orvo::platform
