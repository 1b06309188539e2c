// Plain files and folders: the checks that refuse a link, a device, a FIFO
// or a socket where a file or folder of the launcher's is expected, a read
// bounded by a limit, and files written and flushed to disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "platform/folder_handle.hpp"
#include "platform/fs.hpp"

namespace orvo::core {

// The attributes of a plain file; a folder, link, device, FIFO or socket is
// refused without being opened.
Result<platform::EntryAttributes> require_regular_file(const std::filesystem::path& path);

// The same test for attributes read otherwise (through an open folder); the
// path is the one the refusal names.
Result<void> require_regular_attributes(const platform::EntryAttributes& attributes,
                                        const std::filesystem::path& path);

// Opens a file that require_regular_file passed, for reading; whatever may have
// taken its place since (a link, a FIFO) is refused, not followed or opened.
Result<platform::File> open_regular_file(const std::filesystem::path& path);
// The same for the file name in an open folder, resolving only the name.
Result<platform::File> open_regular_file_in(const platform::FolderHandle& folder,
                                            const std::filesystem::path& name);

// Success for a folder that is not a link.
Result<void> require_plain_folder(const std::filesystem::path& folder);

// The bytes of a plain file of at most limit bytes, never more even when it grows.
Result<std::vector<std::byte>> read_file_limited(const std::filesystem::path& path,
                                                 std::uint64_t limit);

// A new file with these bytes, flushed to disk; fails when anything exists at
// the path. A file made before a failure is left in place.
Result<void> write_file_synced(const std::filesystem::path& path, std::span<const std::byte> bytes);

// Puts a file with these bytes at the path in one step, replacing a file
// there: they go to a new file in temporary_folder (on the path's volume, so
// that a rename can move it, and apart from the path's own folder, where a
// stray file may do harm), which is flushed and renamed over the path. A crash
// leaves the old entry or the whole new file, at worst with a stray file in
// temporary_folder.
Result<void> replace_file_synced(const std::filesystem::path& path,
                                 std::span<const std::byte> bytes,
                                 const std::filesystem::path& temporary_folder);

// Removes the entry of temporary_folder if it is a temporary that
// replace_file_synced made for a file named file_name and a crash left there:
// a plain file of that name that nothing has written for ten minutes (a
// writer may still own a newer one). A folder or a link is left alone, and
// so is the target of a link. Errors are ignored.
void remove_leftover_temporary(const std::filesystem::path& temporary_folder,
                               const std::filesystem::path& entry, std::string_view file_name);

}  // namespace orvo::core
