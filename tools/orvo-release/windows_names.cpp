#include "orvo-release/windows_names.hpp"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "core/text/ascii_case.hpp"

namespace orvo::release_tool {
namespace {

std::unexpected<core::Error> refused(std::string detail) {
  return core::fail(core::Error(std::move(detail)).wrap("Windows could not install this release"));
}

bool is_short_name_character(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         std::string_view("$%'-_@~`!(){}^#&").contains(c);
}

// A name Windows keeps as its own short name: at most eight characters, one
// dot and three more, of the characters short names allow in either case.
bool is_short_name(std::string_view name) {
  const std::size_t dot = name.find('.');
  const std::string_view base = name.substr(0, dot);
  const std::string_view extension = dot == std::string_view::npos ? "" : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || extension.size() > 3) return false;
  if (dot != std::string_view::npos && extension.empty()) return false;
  return std::ranges::all_of(base, is_short_name_character) &&
         std::ranges::all_of(extension, is_short_name_character);
}

// The form Windows makes for a longer name: a short name with a '~' in its base.
bool looks_made_by_windows(std::string_view name) {
  return is_short_name(name) && name.substr(0, name.find('.')).contains('~');
}

}  // namespace

core::Result<void> check_windows_names(std::span<const core::ManifestFile> files) {
  // Every folder and file path by its lower-case form, and the names in each folder.
  std::map<std::string, std::string> by_lower;
  std::map<std::string, std::set<std::string>, std::less<>> names_in;
  for (const core::ManifestFile& file : files) {
    const std::string_view path = file.path;
    for (std::size_t start = 0;;) {
      const std::size_t slash = path.find('/', start);
      const std::string_view prefix = path.substr(0, slash);
      const auto [known, added] = by_lower.emplace(core::ascii_lower(prefix), prefix);
      if (!added && known->second != prefix) {
        return refused("\"" + known->second + "\" and \"" +
                          std::string(prefix) + "\" differ only in letter case, which Windows "
                          "does not tell apart");
      }
      names_in[std::string(path.substr(0, start == 0 ? 0 : start - 1))].emplace(
          path.substr(start, slash == std::string_view::npos ? slash : slash - start));
      if (slash == std::string_view::npos) break;
      start = slash + 1;
    }
  }
  for (const auto& [folder, names] : names_in) {
    if (std::ranges::all_of(names, is_short_name)) continue;
    for (const std::string& name : names) {
      if (!looks_made_by_windows(name)) continue;
      const std::string path = folder.empty() ? name : folder + "/" + name;
      return refused("\"" + path +
                        "\" has the form of a short name, which Windows may give another entry "
                        "in its folder");
    }
  }
  return {};
}

}  // namespace orvo::release_tool
