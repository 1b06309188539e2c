// A file opened for reading at any offset, for readers that seek around in it
// (a ZIP archive's central directory, then each entry's data).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

#include "core/error.hpp"

namespace orvo::platform {

class RandomAccessFile {
 public:
  // Opens an existing file for reading; never waits for a FIFO's writer.
  static core::Result<RandomAccessFile> open(const std::filesystem::path& path);

  RandomAccessFile(RandomAccessFile&& other) noexcept;
  RandomAccessFile& operator=(RandomAccessFile&& other) noexcept;
  RandomAccessFile(const RandomAccessFile&) = delete;
  RandomAccessFile& operator=(const RandomAccessFile&) = delete;
  ~RandomAccessFile();

  // The file's size when it was opened.
  std::uint64_t size() const { return size_; }
  // Up to buffer.size() bytes from offset; 0 at or past the end of the file.
  core::Result<std::size_t> read_at(std::uint64_t offset, std::span<std::byte> buffer);

 private:
  RandomAccessFile(std::intptr_t handle, std::uint64_t size) : handle_(handle), size_(size) {}
  std::intptr_t handle_;
  std::uint64_t size_;
};

}  // namespace orvo::platform
