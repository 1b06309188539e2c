#include "layers/layer_rules.hpp"

#include <algorithm>
#include <array>
#include <fstream>
#include <regex>

namespace orvo::test {
namespace {

// A layer is a folder of src/ (one library) with the layers it links to
// directly; what those reach, it reaches too. "orvo/" holds the header the
// build generates for the attempt's built-in settings, which includes nothing.
struct Layer {
  std::string_view folder;
  std::array<std::string_view, 2> below;
};

constexpr std::array kLayers{
    Layer{"base", {}},
    Layer{"platform", {"base"}},
    Layer{"platform/host", {"platform"}},
    Layer{"platform/desktop", {"platform/host"}},
    Layer{"core", {"platform"}},
    Layer{"launch", {"core", "platform/host"}},
    Layer{"orvo", {}},
    Layer{"attempt", {"launch", "orvo"}},
    Layer{"ui", {"attempt", "platform/desktop"}},
};

const Layer* find_layer(std::string_view folder) {
  for (const Layer& layer : kLayers) {
    if (layer.folder == folder) return &layer;
  }
  return nullptr;
}

bool reaches(std::string_view from, std::string_view to) {
  if (from == to) return true;
  const Layer* layer = find_layer(from);
  if (layer == nullptr) return false;
  return std::ranges::any_of(layer->below, [&](std::string_view next) {
    return !next.empty() && reaches(next, to);
  });
}

bool is_source(const std::filesystem::path& path) {
  const auto extension = path.extension();
  return extension == ".hpp" || extension == ".cpp" || extension == ".in";
}

}  // namespace

std::optional<std::string_view> layer_of(std::string_view path) {
  // The deepest layer folder that holds the path: "platform/host/x.hpp" is in
  // platform/host, "core/url/url.hpp" in core.
  std::optional<std::string_view> found;
  for (const Layer& layer : kLayers) {
    const bool inside = path.size() > layer.folder.size() && path.starts_with(layer.folder) &&
                        path[layer.folder.size()] == '/';
    if (inside && (!found || layer.folder.size() > found->size())) found = layer.folder;
  }
  return found;
}

std::vector<std::string> layer_breaches(const std::filesystem::path& src_root) {
  static const std::regex include_line(R"re(^\s*#\s*include\s*"([^"]+)")re");
  std::vector<std::string> breaches;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(src_root)) {
    if (!entry.is_regular_file() || !is_source(entry.path())) continue;
    const std::string file = entry.path().lexically_relative(src_root).generic_string();
    const auto own = layer_of(file);
    if (!own) {
      breaches.push_back(file + " (no layer)");
      continue;
    }
    std::ifstream in(entry.path());
    std::string line;
    std::smatch match;
    while (std::getline(in, line)) {
      if (!std::regex_search(line, match, include_line)) continue;
      const std::string header = match[1];
      const auto theirs = layer_of(header);
      if (!theirs) {
        breaches.push_back(file + ": includes " + header + " (no layer)");
      } else if (!reaches(*own, *theirs)) {
        breaches.push_back(file + ": includes " + header);
      }
    }
  }
  std::ranges::sort(breaches);
  return breaches;
}

}  // namespace orvo::test
