// A folder held open, and the entries in it reached through it. Each name is
// resolved in the held folder only, never again along a path from the top, so
// a folder that is swapped for a link while a caller works below it is never
// entered through the link. An entry on another volume or mount than the
// folder counts as a link, as every mount point is one on Windows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "base/error.hpp"
#include "platform/fs.hpp"
#include "platform/handle_traits.hpp"

namespace orvo::platform {

class FolderHandle {
 public:
  // The folder at the path itself: a link there, a non-folder, or a folder
  // on another volume or mount than the folder above it is refused with the
  // system's error, however the path ends.
  static Result<FolderHandle> open(const std::filesystem::path& path);

  // The path it was opened by, joined with the names below; for messages.
  const std::filesystem::path& path() const { return path_; }

  // The entries in the order the system gives them, without "." and "..".
  Result<std::vector<FolderEntry>> list() const;
  // The attributes of the entry name itself; a link is not followed, and an
  // entry on another volume or mount carries kReparsePoint.
  Result<EntryAttributes> entry_attributes(const std::filesystem::path& name) const;
  // The folder name in this one; refused like open().
  Result<FolderHandle> open_folder(const std::filesystem::path& name) const;
  // The file name in this one for reading, others may read, write and delete
  // it meanwhile; a link or a file on another volume or mount is refused.
  Result<File> open_file(const std::filesystem::path& name) const;

 private:
  FolderHandle(NativeFile handle, std::filesystem::path path, std::uint64_t volume)
      : handle_(std::move(handle)), path_(std::move(path)), volume_(volume) {}

  NativeFile handle_;
  std::filesystem::path path_;
  // What tells volumes (Windows) or mounts (Linux) apart.
  std::uint64_t volume_ = 0;
};

}  // namespace orvo::platform
