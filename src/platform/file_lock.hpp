// An exclusive lock on an open file that several processes append to and
// replace, such as the launcher log: whoever holds it may rename the file away
// without another writer deleting or renaming it at the same time.
#pragma once

#include <filesystem>

#include "base/error.hpp"
#include "platform/fs.hpp"
#include "platform/handle_traits.hpp"

namespace orvo::platform {

class FileLock {
 public:
  // Waits until no other holder is left. The lock is held through a handle of
  // its own, so it may outlive the file value it was taken on.
  static Result<FileLock> acquire(const File& file);

  FileLock(FileLock&&) noexcept = default;
  FileLock& operator=(FileLock&&) = delete;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

  // Whether the path (links followed) still leads to the locked file, which a
  // holder before may have renamed away; false when nothing is there.
  Result<bool> holds(const std::filesystem::path& path) const;

 private:
  explicit FileLock(NativeFile handle) : handle_(std::move(handle)) {}
  NativeFile handle_;
};

}  // namespace orvo::platform
