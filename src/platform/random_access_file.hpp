// A file opened for reading at any offset, for readers that seek around in it
// (a ZIP archive's central directory, then each entry's data).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

#include "base/error.hpp"
#include "platform/handle_traits.hpp"

namespace orvo::platform {

class RandomAccessFile {
 public:
  // Opens an existing file for reading; never waits for a FIFO's writer.
  static core::Result<RandomAccessFile> open(const std::filesystem::path& path);

  // The file's size when it was opened.
  std::uint64_t size() const { return size_; }
  // Up to buffer.size() bytes from offset; 0 at or past the end of the file.
  core::Result<std::size_t> read_at(std::uint64_t offset, std::span<std::byte> buffer);

 private:
  RandomAccessFile(NativeFile handle, std::uint64_t size)
      : handle_(std::move(handle)), size_(size) {}
  NativeFile handle_;
  std::uint64_t size_;
};

}  // namespace orvo::platform
