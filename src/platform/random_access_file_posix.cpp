#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "platform/os_error.hpp"
#include "platform/random_access_file.hpp"

namespace orvo::platform {
namespace {

constexpr std::intptr_t kClosed = -1;

}  // namespace

core::Result<RandomAccessFile> RandomAccessFile::open(const std::filesystem::path& path) {
  // O_NONBLOCK only matters for a FIFO, which must not stall the caller; a
  // regular file's reads ignore it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return std::unexpected(last_os_error());
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    auto error = last_os_error();
    ::close(fd);
    return std::unexpected(std::move(error));
  }
  const std::uint64_t size = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  return RandomAccessFile(fd, size);
}

RandomAccessFile::RandomAccessFile(RandomAccessFile&& other) noexcept
    : handle_(other.handle_), size_(other.size_) {
  other.handle_ = kClosed;
}

RandomAccessFile& RandomAccessFile::operator=(RandomAccessFile&& other) noexcept {
  if (this != &other) {
    if (handle_ != kClosed) ::close(static_cast<int>(handle_));
    handle_ = other.handle_;
    size_ = other.size_;
    other.handle_ = kClosed;
  }
  return *this;
}

RandomAccessFile::~RandomAccessFile() {
  if (handle_ != kClosed) ::close(static_cast<int>(handle_));
}

core::Result<std::size_t> RandomAccessFile::read_at(std::uint64_t offset,
                                                    std::span<std::byte> buffer) {
  if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return 0;
  for (;;) {
    const ssize_t count = ::pread(static_cast<int>(handle_), buffer.data(), buffer.size(),
                                  static_cast<off_t>(offset));
    if (count >= 0) return static_cast<std::size_t>(count);
    if (errno != EINTR) return std::unexpected(last_os_error());
  }
}

}  // namespace orvo::platform
