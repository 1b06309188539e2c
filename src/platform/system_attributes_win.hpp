// An entry as the launcher judges it from the attribute bits Windows reports.
// Any reparse point counts as a link, whatever its tag: a junction, a file or
// folder symbolic link, a cloud file's placeholder, a volume mounted on a
// folder. Only an entry with no folder, reparse point or device bit is a
// plain file.
#pragma once

#include <cstdint>

#include "platform/fs.hpp"

namespace orvo::platform {

EntryAttributes entry_from_system(std::uint32_t attributes, std::uint64_t size);

}  // namespace orvo::platform
