#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/file_lock.hpp"
#include "platform/entry_errors.hpp"
#include "platform/os_error.hpp"

namespace orvo::platform {

Result<std::optional<FileLock>> FileLock::try_acquire(const File& file) {
  // A duplicate shares the open file's lock, which a lock of flock's kind
  // belongs to, and may be closed on its own.
  UniqueFd fd(::fcntl(file.handle_.get(), F_DUPFD_CLOEXEC, 0));
  if (!fd.valid()) return std::unexpected(last_os_error());
  while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return std::nullopt;
    if (errno != EINTR) return std::unexpected(last_os_error());
  }
  return FileLock(std::move(fd));
}

FileLock::~FileLock() {
  if (handle_.valid()) ::flock(handle_.get(), LOCK_UN);
}

Result<bool> FileLock::holds(const std::filesystem::path& path) const {
  struct stat locked {};
  if (::fstat(handle_.get(), &locked) != 0) return std::unexpected(last_os_error());
  struct stat there {};
  if (::stat(path.c_str(), &there) != 0) {
    core::Error error = last_os_error();
    if (is_missing_entry(error)) return false;
    return std::unexpected(std::move(error));
  }
  return locked.st_dev == there.st_dev && locked.st_ino == there.st_ino;
}

}  // namespace orvo::platform
