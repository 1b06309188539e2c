#include "core/package/zip_entry_kind.hpp"

#include <optional>

namespace orvo::core {
namespace {

constexpr std::uint8_t kHostDos = 0;
constexpr std::uint8_t kHostUnix = 3;

constexpr std::uint32_t kDosReadOnly = 0x01;
constexpr std::uint32_t kDosDirectory = 0x10;

constexpr std::uint32_t kTypeMask = 0170000;
constexpr std::uint32_t kTypeFolder = 0040000;
constexpr std::uint32_t kTypeRegular = 0100000;

std::optional<std::uint32_t> unix_mode(std::uint8_t host_system, std::uint32_t attributes) {
  if (attributes == 0) return std::nullopt;
  if (host_system == kHostUnix) return attributes >> 16;
  if (host_system == kHostDos) {
    std::uint32_t mode = (attributes & kDosDirectory) != 0 ? 040775 : 0100664;
    // The read-only mask also clears the type bits, so such an entry has no type.
    if ((attributes & kDosReadOnly) != 0) mode &= 0555;
    return mode;
  }
  return std::nullopt;
}

}  // namespace

ZipEntryKind zip_entry_kind(std::uint8_t host_system, std::uint32_t external_attributes) {
  const std::optional<std::uint32_t> mode = unix_mode(host_system, external_attributes);
  if (!mode) return ZipEntryKind::Unstated;
  switch (*mode & kTypeMask) {
    case 0:
      return ZipEntryKind::Unstated;
    case kTypeFolder:
      return ZipEntryKind::Folder;
    case kTypeRegular:
      return ZipEntryKind::RegularFile;
    default:
      return ZipEntryKind::Special;
  }
}

}  // namespace orvo::core
