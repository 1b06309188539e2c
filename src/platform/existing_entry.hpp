// Telling "something is already there" apart from other failures of the file
// layer, for callers that pick another name when theirs is taken.
#pragma once

#include "base/error.hpp"

namespace orvo::platform {

// Whether the error says that an entry (of any kind, a link included) already exists at the path.
bool is_existing_entry(const core::Error& error);

}  // namespace orvo::platform
