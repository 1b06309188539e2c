#include "platform/entry_errors.hpp"

#include <cerrno>

namespace orvo::platform {

bool is_missing_entry(const core::Error& error) {
  // ENOTDIR: a file stands where a folder on the way would be, so the path cannot exist.
  return error.os_code() == ENOENT || error.os_code() == ENOTDIR;
}

bool is_existing_entry(const core::Error& error) { return error.os_code() == EEXIST; }

}  // namespace orvo::platform
