#include "support/fs/small_file_system.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace orvo::test {

SmallFileSystem::SmallFileSystem(const std::filesystem::path& folder, std::uint64_t bytes)
    : folder_(folder) {
  std::filesystem::create_directories(folder);
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
  if (mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    refusal_ = std::string("mount: ") + std::strerror(errno);
    return;
  }
  mounted_ = true;
}

SmallFileSystem::~SmallFileSystem() {
  if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
}

void SmallFileSystem::fill_leaving(const std::filesystem::path& path, std::uint64_t left) const {
  struct statvfs state {};
  ASSERT_EQ(statvfs(folder_.c_str(), &state), 0) << std::strerror(errno);
  const std::uint64_t free = static_cast<std::uint64_t>(state.f_bavail) * state.f_frsize;
  ASSERT_GE(free, left) << "the file system is already fuller than that";
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0) << std::strerror(errno);
  const std::vector<char> block(64 * 1024, 'f');
  for (std::uint64_t todo = free - left; todo > 0;) {
    const std::size_t piece = todo < block.size() ? todo : block.size();
    const ssize_t written = write(fd, block.data(), piece);
    if (written <= 0) break;
    todo -= static_cast<std::uint64_t>(written);
  }
  close(fd);
}

}  // namespace orvo::test
