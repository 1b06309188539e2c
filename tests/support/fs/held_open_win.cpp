#include "support/fs/held_open_win.hpp"

#include <gtest/gtest.h>

#include "platform/win32.hpp"

namespace orvo::test {

HeldOpen::HeldOpen(const std::filesystem::path& path, Sharing sharing)
    : handle_(::CreateFileW(path.c_str(), GENERIC_READ,
                            sharing == Sharing::ReadOnly ? FILE_SHARE_READ : 0, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)) {
  EXPECT_NE(handle_, INVALID_HANDLE_VALUE)
      << path.string() << " cannot be held open: error " << ::GetLastError();
}

HeldOpen::~HeldOpen() {
  if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
}

}  // namespace orvo::test
