#include "platform/entry_errors.hpp"

#include "platform/win32.hpp"

namespace orvo::platform {

bool is_missing_entry(const core::Error& error) {
  // ERROR_PATH_NOT_FOUND: a folder on the way is missing, or a file stands where it would be.
  return error.os_code() == ERROR_FILE_NOT_FOUND || error.os_code() == ERROR_PATH_NOT_FOUND;
}

bool is_existing_entry(const core::Error& error) {
  // CreateFileW says ERROR_FILE_EXISTS; CreateDirectoryW and MoveFileExW
  // say ERROR_ALREADY_EXISTS.
  return error.os_code() == ERROR_FILE_EXISTS || error.os_code() == ERROR_ALREADY_EXISTS;
}

}  // namespace orvo::platform
