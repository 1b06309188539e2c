// An exclusive lock on an open file that several processes append to and
// replace, such as the launcher log: whoever holds it may rename the file away
// without another writer deleting or renaming it at the same time.
#pragma once

#include <filesystem>
#include <optional>

#include "base/error.hpp"
#include "platform/fs.hpp"
#include "platform/handle_traits.hpp"

namespace orvo::platform {

class FileLock {
 public:
  // One try that never waits: nothing while another holder has the lock. A
  // holder may never let go (a stuck process, another program), so the caller
  // decides how long to go on trying. An error says the file cannot be locked
  // at all (a file system without locks). The lock is held through a handle of
  // its own, so it may outlive the file value it was taken on.
  static Result<std::optional<FileLock>> try_acquire(const File& file);

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
