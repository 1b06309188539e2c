#include "support/fs/special_files.hpp"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace orvo::test {

const int kEntryExistsCode = EEXIST;
namespace {

// Clears the capabilities that let root read and search whatever it likes;
// the raw system call changes the calling thread only.
void drop_permission_override() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  ASSERT_EQ(::syscall(SYS_capget, &header, data), 0) << std::strerror(errno);
  const unsigned overrides = (1U << CAP_DAC_OVERRIDE) | (1U << CAP_DAC_READ_SEARCH);
  data[0].effective &= ~overrides;
  ASSERT_EQ(::syscall(SYS_capset, &header, data), 0) << std::strerror(errno);
}

}  // namespace

void make_fifo(const std::filesystem::path& path) {
  ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0) << path << ": " << std::strerror(errno);
}

void make_socket(const std::filesystem::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.native().size(), sizeof(address.sun_path)) << path;
  std::memcpy(address.sun_path, path.c_str(), path.native().size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(fd, 0) << std::strerror(errno);
  const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
  const int error = errno;
  ::close(fd);
  ASSERT_EQ(bound, 0) << path << ": " << std::strerror(error);
}

void run_bound_by_permissions(const std::function<void()>& body) {
  std::thread thread([&body] {
    if (::geteuid() == 0) {
      drop_permission_override();
      if (testing::Test::HasFatalFailure()) return;
    }
    body();
  });
  thread.join();
}

}  // namespace orvo::test
