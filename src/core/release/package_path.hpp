// Whether a relative path named by a release may be created below a version
// folder: relative, '/'-separated, ASCII, and nothing Windows would alter,
// refuse or treat as a device, nor a name of the launcher's own files.
#pragma once

#include <string_view>

#include "base/error.hpp"

namespace orvo::core {

Result<void> check_package_path(std::string_view path);

}  // namespace orvo::core
