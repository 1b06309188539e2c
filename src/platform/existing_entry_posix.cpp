#include <cerrno>

#include "platform/existing_entry.hpp"

namespace orvo::platform {

bool is_existing_entry(const core::Error& error) { return error.os_code() == EEXIST; }

}  // namespace orvo::platform
