#include <cerrno>

#include "platform/missing_entry.hpp"

namespace orvo::platform {

bool is_missing_entry(const core::Error& error) {
  // ENOTDIR: a file stands where a folder on the way would be, so the path cannot exist.
  return error.os_code() == ENOENT || error.os_code() == ENOTDIR;
}

}  // namespace orvo::platform
