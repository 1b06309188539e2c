// The launcher's own files at the root of a version folder, beside the
// release's files: the signed envelope the release came with, and the marker
// written once the release has started successfully.
#pragma once

#include <string_view>

namespace orvo::core {

inline constexpr std::string_view kManifestFileName = ".orvo-manifest.json";
inline constexpr std::string_view kWorkingMarkerName = ".orvo-working";

}  // namespace orvo::core
