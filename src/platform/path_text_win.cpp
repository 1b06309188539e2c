#include "platform/path_text.hpp"

#include "platform/wide_text_win.hpp"

namespace orvo::platform {

std::optional<std::string> path_utf8(const std::filesystem::path& path) {
  return exact_utf8_text(path.native());
}

std::string path_display(const std::filesystem::path& path) { return utf8_text(path.native()); }

std::filesystem::path path_from_utf8(std::string_view text) {
  return std::filesystem::path(wide_text(text));
}

}  // namespace orvo::platform
