// The layers of the sources and the rule between them: a file may include
// headers of its own layer and of the layers below it, never of one above.
//   base < platform < platform host part < core < launch < attempt < ui
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvo::test {

// The layer of a path relative to src/ ("core/url/url.hpp"), lowest 0;
// nullopt for a path outside every layer.
std::optional<int> layer_of(std::string_view path);

// One line per breach of the rule in the sources below src_root:
// "<file>: includes <header>" for an upward include, "... (no layer)" for a
// file or header outside every layer.
std::vector<std::string> layer_breaches(const std::filesystem::path& src_root);

}  // namespace orvo::test
