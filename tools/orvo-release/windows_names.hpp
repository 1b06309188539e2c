// Names that pass the launcher's path rules yet cannot lie side by side on
// Windows: folders whose names differ only in letter case, which Windows
// takes for one folder, and a name in the short (8.3) form, such as
// "ORVO~2IO.EXE", in a folder where Windows makes short names for other
// entries and may give one of them that very name. pack and check refuse
// such a release, so that none is published that Windows cannot install.
#pragma once

#include <span>

#include "base/error.hpp"
#include "core/release/manifest.hpp"

namespace orvo::release_tool {

core::Result<void> check_windows_names(std::span<const core::ManifestFile> files);

}  // namespace orvo::release_tool
