#include "platform/file_lock.hpp"

#include <utility>

#include "platform/entry_errors.hpp"
#include "platform/long_path_win.hpp"
#include "platform/os_error.hpp"
#include "platform/win32.hpp"

namespace orvo::platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A byte-range lock also stops the reads and writes of every other handle,
// the holder's own appending handle among them. So the lock is a token: one
// byte far past any end a file of ours reaches.
constexpr DWORD kTokenOffsetHigh = 0x7FFFFFFF;
constexpr DWORD kTokenOffsetLow = 0xFFFFFFFE;

OVERLAPPED token_position() {
  OVERLAPPED position{};
  position.Offset = kTokenOffsetLow;
  position.OffsetHigh = kTokenOffsetHigh;
  return position;
}

std::unexpected<core::Error> failure() { return std::unexpected(last_os_error()); }

}  // namespace

Result<std::optional<FileLock>> FileLock::try_acquire(const File& file) {
  // On a duplicate of the caller's own handle, so that the lock is on the very
  // file the caller opened: a handle opened afresh (ReOpenFile) was seen under
  // Wine to leave writers of one process each holding the lock at once. The
  // handle needs read or write access for LockFileEx.
  HANDLE duplicate = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), file.handle_.get(), ::GetCurrentProcess(),
                         &duplicate, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    return failure();
  }
  NativeFile handle(duplicate);
  OVERLAPPED position = token_position();
  if (!::LockFileEx(handle.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                    &position)) {
    if (::GetLastError() == ERROR_LOCK_VIOLATION) return std::nullopt;
    return failure();
  }
  return FileLock(std::move(handle));
}

FileLock::~FileLock() {
  if (!handle_.valid()) return;
  OVERLAPPED position = token_position();
  ::UnlockFileEx(handle_.get(), 0, 1, 0, &position);
}

Result<bool> FileLock::holds(const std::filesystem::path& path) const {
  NativeFile there(::CreateFileW(system_path(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!there.valid()) {
    core::Error error = last_os_error();
    if (is_missing_entry(error)) return false;
    return std::unexpected(std::move(error));
  }
  BY_HANDLE_FILE_INFORMATION locked{};
  BY_HANDLE_FILE_INFORMATION found{};
  if (!::GetFileInformationByHandle(handle_.get(), &locked) ||
      !::GetFileInformationByHandle(there.get(), &found)) {
    return failure();
  }
  return locked.dwVolumeSerialNumber == found.dwVolumeSerialNumber &&
         locked.nFileIndexHigh == found.nFileIndexHigh &&
         locked.nFileIndexLow == found.nFileIndexLow;
}

}  // namespace orvo::platform
