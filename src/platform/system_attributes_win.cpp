#include "platform/system_attributes_win.hpp"

#include "platform/win32.hpp"

namespace orvo::platform {

EntryAttributes entry_from_system(std::uint32_t attributes, std::uint64_t size) {
  EntryAttributes result;
  result.attributes = attributes;
  result.size = size;
  result.regular = (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT |
                                  FILE_ATTRIBUTE_DEVICE)) == 0;
  return result;
}

}  // namespace orvo::platform
