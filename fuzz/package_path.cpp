// Any bytes as a package path. An accepted path, joined below a folder, must
// name a place strictly inside it, through plain components only.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/release/package_path.hpp"
#include "support/fuzz_checks.hpp"

namespace {

bool plain_component(std::string_view component) {
  if (component.empty() || component == "." || component == "..") return false;
  for (const char c : component) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7f || c == '\\' || c == ':') return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view path(reinterpret_cast<const char*>(data), size);
  if (!orvo::core::check_package_path(path)) return 0;
  if (path.size() > 200) orvo::fuzz::property_failed("an accepted path is too long", path);
  std::size_t start = 0;
  for (;;) {
    const std::size_t slash = path.find('/', start);
    const auto component = path.substr(start, slash - start);
    if (!plain_component(component)) {
      orvo::fuzz::property_failed("an accepted path has an unsafe component", std::string(path));
    }
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  return 0;
}
