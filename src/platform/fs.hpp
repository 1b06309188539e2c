// The file system as the launcher uses it: attributes of an entry itself (a
// link is never followed unless asked), create-new files flushed to disk,
// renames that never replace unless asked, listings with an error per entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "base/error.hpp"
#include "platform/handle_traits.hpp"

namespace orvo::platform {

using core::Result;

// Attribute bits, as Windows reports them. On POSIX a symbolic link carries
// kReparsePoint and a folder kDirectory.
inline constexpr std::uint32_t kDirectory = 0x10;
inline constexpr std::uint32_t kReparsePoint = 0x400;

struct EntryAttributes {
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;
  // A plain file: no folder, no link, no device, FIFO or socket.
  bool regular = false;

  bool is_directory() const { return (attributes & kDirectory) != 0; }
  bool is_reparse_point() const { return (attributes & kReparsePoint) != 0; }
};

// The attributes of the entry at the path itself; a link is not followed, not
// even when the path ends in a separator or ".".
Result<EntryAttributes> entry_attributes(const std::filesystem::path& path);
// The attributes of what the path leads to, following links.
Result<EntryAttributes> followed_attributes(const std::filesystem::path& path);

// One folder; fails when anything exists at the path.
Result<void> create_folder(const std::filesystem::path& path);
// A folder with every missing folder above it; an existing folder is success.
Result<void> create_folders(const std::filesystem::path& path);

// An absolute path with every link and relative element resolved.
Result<std::filesystem::path> canonical_path(const std::filesystem::path& path);

// Renames a file or folder; fails when the target exists.
Result<void> rename_no_replace(const std::filesystem::path& from, const std::filesystem::path& to);
// Renames a file, replacing a file at the target.
Result<void> rename_replace(const std::filesystem::path& from, const std::filesystem::path& to);

// Deletes a file, a read-only one too; a folder is refused.
Result<void> remove_file(const std::filesystem::path& path);
// Deletes a folder and everything in it, never following a link (a link is
// removed itself, however the path ends); errors are ignored.
void remove_tree(const std::filesystem::path& path) noexcept;

struct FolderEntry {
  // The entry's name, or the error the listing reported for it.
  Result<std::filesystem::path> name;
};
// The entries of a folder in the order the system gives them, without "." and "..";
// a link to a folder is refused, however the path ends.
Result<std::vector<FolderEntry>> list_folder(const std::filesystem::path& path);

enum class FileMode { Regular, Executable };

// An open file; closed when it goes away.
class File {
 public:
  // A new file for writing; fails when anything exists at the path, a link
  // included. A file it made before failing stays, as after any later failure.
  static Result<File> create_new(const std::filesystem::path& path,
                                 FileMode mode = FileMode::Regular);
  // An existing file for reading; others may read, write and delete it meanwhile.
  static Result<File> open_read(const std::filesystem::path& path);
  // The same for the entry at the path itself: a link there is refused, not followed.
  static Result<File> open_read_entry(const std::filesystem::path& path);
  // A file for appending, created when missing; others may read, write and
  // delete it. On POSIX a link at the path is refused, not followed.
  static Result<File> open_append(const std::filesystem::path& path);


  // Up to buffer.size() bytes; 0 at the end of the file.
  Result<std::size_t> read(std::span<std::byte> buffer);
  Result<void> write_all(std::span<const std::byte> bytes);
  // Flushes the file's data to disk.
  Result<void> sync();
  Result<EntryAttributes> attributes() const;
  // Closes now, reporting the error a close may give.
  Result<void> close();

 private:
  // Services that open files in their own ways, or work on an open one.
  friend class FolderHandle;
  friend class FileLock;

  explicit File(NativeFile handle) : handle_(std::move(handle)) {}
  NativeFile handle_;
};

}  // namespace orvo::platform
