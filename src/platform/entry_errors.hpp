// What a failure of the file layer says about the entry at its path, for
// callers to whom a missing entry is not an error, or who pick another name
// when theirs is taken.
#pragma once

#include "base/error.hpp"

namespace orvo::platform {

// Whether the error says that the path, or a folder on the way to it, does not exist.
bool is_missing_entry(const core::Error& error);

// Whether the error says that an entry (of any kind, a link included) already exists at the path.
bool is_existing_entry(const core::Error& error);

}  // namespace orvo::platform
