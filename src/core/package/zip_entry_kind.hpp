// What a ZIP entry's external attributes say it is. Archives made on Unix
// carry a file mode, archives made on MS-DOS or Windows carry attribute bits;
// anything else says nothing, and the entry is then judged by its name.
#pragma once

#include <cstdint>

namespace orvo::core {

enum class ZipEntryKind {
  Unstated,  // no type: a folder or a file by its name alone
  Folder,
  RegularFile,
  Special,  // a link, device, pipe or socket
};

// host_system is the high byte of the entry's version-made-by field.
ZipEntryKind zip_entry_kind(std::uint8_t host_system, std::uint32_t external_attributes);

}  // namespace orvo::core
