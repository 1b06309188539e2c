// What the Linux file services built on descriptors share: the attributes of
// a file's mode, a path's entry form, opening relative to a folder and the
// listing of an open folder. Inside the platform layer only.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs.hpp"

namespace orvo::platform {

EntryAttributes attributes_of_mode(mode_t mode, std::int64_t size);

// The path without trailing separators and "." elements, which would make the
// system resolve a link at its end: "link/" names the link's target, "link" the
// link itself. Used wherever a link must be seen, not followed.
std::string entry_text(const std::filesystem::path& path);

// Opens path relative to the folder (AT_FDCWD: the current one) without
// waiting for a FIFO's writer, close-on-exec.
Result<UniqueFd> open_descriptor_at(int folder, const std::filesystem::path& path, int flags,
                                    mode_t mode);

// The entries of the open folder, from its start; the descriptor goes with it.
Result<std::vector<FolderEntry>> list_open_folder(UniqueFd folder);

}  // namespace orvo::platform
