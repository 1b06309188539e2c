#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "platform/os_error.hpp"
#include "platform/random_access_file.hpp"

namespace orvo::platform {
core::Result<RandomAccessFile> RandomAccessFile::open(const std::filesystem::path& path) {
  // O_NONBLOCK only matters for a FIFO, which must not stall the caller; a
  // regular file's reads ignore it.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.valid()) return std::unexpected(last_os_error());
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return std::unexpected(last_os_error());
  const std::uint64_t size = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  return RandomAccessFile(std::move(fd), size);
}

core::Result<std::size_t> RandomAccessFile::read_at(std::uint64_t offset,
                                                    std::span<std::byte> buffer) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return 0;
  for (;;) {
    const ssize_t count = ::pread(handle_.get(), buffer.data(), buffer.size(),
                                  static_cast<off_t>(offset));
    if (count >= 0) return static_cast<std::size_t>(count);
    if (errno != EINTR) return std::unexpected(last_os_error());
  }
}

}  // namespace orvo::platform
