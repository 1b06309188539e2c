#include "layers/layer_rules.hpp"

#include <algorithm>
#include <array>
#include <fstream>
#include <regex>

namespace orvo::test {
namespace {

struct Layer {
  std::string_view prefix;
  int rank;
};

// Most specific prefix first. "orvo/" is the header the build generates for
// the attempt's built-in settings.
constexpr std::array kLayers{
    Layer{"base/", 0},
    Layer{"platform/process_control", 2},
    Layer{"platform/host_window", 2},
    Layer{"platform/window_activation", 2},
    Layer{"platform/", 1},
    Layer{"core/attempt/", 5},
    Layer{"orvo/", 5},
    Layer{"core/", 3},
    Layer{"launch/", 4},
    Layer{"ui/", 6},
};

bool is_source(const std::filesystem::path& path) {
  const auto extension = path.extension();
  return extension == ".hpp" || extension == ".cpp" || extension == ".in";
}

}  // namespace

std::optional<int> layer_of(std::string_view path) {
  for (const Layer& layer : kLayers) {
    if (path.starts_with(layer.prefix)) return layer.rank;
  }
  return std::nullopt;
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
      } else if (*theirs > *own) {
        breaches.push_back(file + ": includes " + header);
      }
    }
  }
  std::ranges::sort(breaches);
  return breaches;
}

}  // namespace orvo::test
