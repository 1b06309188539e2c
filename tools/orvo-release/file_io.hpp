// Files in and out for the tool: whole small files (keys, manifests,
// envelopes), and the size and SHA-256 digest of any file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/error.hpp"

namespace orvo::release_tool {

using core::Result;

// The file's bytes; a file longer than limit is read only up to limit + 1
// bytes, so that the caller's own size rule still sees it too long.
Result<std::string> read_file_limited(const std::filesystem::path& path, std::size_t limit);

enum class FileAccess { Shared, OwnerOnly };
// A new file with these bytes, flushed to disk; an existing file is never replaced.
Result<void> write_new_file(const std::filesystem::path& path, std::string_view bytes,
                            FileAccess access = FileAccess::Shared);

struct FileDigest {
  std::uint64_t size = 0;
  std::string sha256;  // lower-case hexadecimal
};
Result<FileDigest> digest_file(const std::filesystem::path& path);

}  // namespace orvo::release_tool
