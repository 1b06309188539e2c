#include "platform/existing_entry.hpp"

#include "platform/win32.hpp"

namespace orvo::platform {

bool is_existing_entry(const core::Error& error) {
  // CreateFileW says ERROR_FILE_EXISTS; CreateDirectoryW and MoveFileExW
  // say ERROR_ALREADY_EXISTS.
  return error.os_code() == ERROR_FILE_EXISTS || error.os_code() == ERROR_ALREADY_EXISTS;
}

}  // namespace orvo::platform
