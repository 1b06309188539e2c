// The layers of the sources and the rule between them: each folder of src/
// that holds a library is a layer, and a file may include headers of its own
// layer and of the layers that its layer links to, directly or through
// another, never of one above or beside it.
//   base < platform < platform/host < core < launch < attempt < ui
//   platform/host < platform/desktop < ui
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvo::test {

// The layer (its folder) of a path relative to src/ ("core/url/url.hpp" is
// in "core"); nullopt for a path outside every layer.
std::optional<std::string_view> layer_of(std::string_view path);

// One line per breach of the rule in the sources below src_root:
// "<file>: includes <header>" for an include the file's layer may not reach,
// "... (no layer)" for a file or header outside every layer.
std::vector<std::string> layer_breaches(const std::filesystem::path& src_root);

}  // namespace orvo::test
