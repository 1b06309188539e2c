#include "platform/env.hpp"

#include <cstdlib>

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

std::filesystem::path temp_folder() {
  const char* value = std::getenv("TMPDIR");
  if (value != nullptr && *value != '\0') return std::filesystem::path(value);
  return std::filesystem::path("/tmp");
}

}  // namespace orvo::platform
