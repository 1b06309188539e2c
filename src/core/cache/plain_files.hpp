// Plain files and folders: the checks that refuse a link, a device, a FIFO
// or a socket where a file or folder of the launcher's is expected, a read
// bounded by a limit, and a new file written and flushed to disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "base/error.hpp"
#include "platform/fs.hpp"

namespace orvo::core {

// The attributes of a plain file; a folder, link, device, FIFO or socket is
// refused without being opened.
Result<platform::EntryAttributes> require_regular_file(const std::filesystem::path& path);

// Opens a file that require_regular_file passed, for reading; whatever may have
// taken its place since (a link, a FIFO) is refused, not followed or opened.
Result<platform::File> open_regular_file(const std::filesystem::path& path);

// Success for a folder that is not a link.
Result<void> require_plain_folder(const std::filesystem::path& folder);

// The bytes of a plain file of at most limit bytes, never more even when it grows.
Result<std::vector<std::byte>> read_file_limited(const std::filesystem::path& path,
                                                 std::uint64_t limit);

// A new file with these bytes, flushed to disk, that appears at the path only
// whole; fails when anything exists at the path.
Result<void> write_file_synced(const std::filesystem::path& path, std::span<const std::byte> bytes);

}  // namespace orvo::core
