#include "core/release/package_path.hpp"

#include <array>
#include <string>

#include "core/text/ascii_case.hpp"

namespace orvo::core {
namespace {

constexpr std::size_t kMaxPathBytes = 200;
constexpr std::string_view kLauncherPrefix = ".orvo-";
constexpr std::string_view kRefusedCharacters = "<>:\"|?*";

bool is_digit(char c) { return c >= '0' && c <= '9'; }

bool is_reserved_stem(std::string_view stem) {
  constexpr std::array<std::string_view, 6> kFixed = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view reserved : kFixed) {
    if (stem == reserved) return true;
  }
  return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
         is_digit(stem[3]);
}

Result<void> check_component(std::string_view component) {
  if (component.empty() || component == "." || component == "..") {
    return fail("Unsafe package path component");
  }
  if (component.back() == '.' || component.back() == ' ') {
    return fail("Ambiguous Windows package path");
  }
  for (char c : component) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || kRefusedCharacters.find(c) != std::string_view::npos) {
      return fail("Unsafe Windows filename");
    }
  }
  std::string_view stem = component.substr(0, component.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  if (is_reserved_stem(ascii_upper(stem))) return fail("Reserved Windows filename");

  if (component.size() >= kLauncherPrefix.size()) {
    bool launcher_name = true;
    for (std::size_t i = 0; i < kLauncherPrefix.size(); ++i) {
      launcher_name = launcher_name && ascii_lower(component[i]) == kLauncherPrefix[i];
    }
    if (launcher_name) return fail("Reserved launcher filename");
  }
  return {};
}

}  // namespace

Result<void> check_package_path(std::string_view path) {
  if (path.empty() || path.size() > kMaxPathBytes) return fail("Unsupported package path");
  for (char c : path) {
    if (static_cast<unsigned char>(c) >= 0x80) return fail("Unsupported package path");
  }
  if (path.find('\\') != std::string_view::npos || path.front() == '/') {
    return fail("Unsafe package path");
  }
  for (;;) {
    const std::size_t slash = path.find('/');
    if (auto checked = check_component(path.substr(0, slash)); !checked) return checked;
    if (slash == std::string_view::npos) return {};
    path.remove_prefix(slash + 1);
  }
}

}  // namespace orvo::core
