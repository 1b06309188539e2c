// Telling "nothing is there" apart from other failures of the file layer, for
// callers to whom a missing entry is not an error.
#pragma once

#include "base/error.hpp"

namespace orvo::platform {

// Whether the error says that the path, or a folder on the way to it, does not exist.
bool is_missing_entry(const core::Error& error);

}  // namespace orvo::platform
