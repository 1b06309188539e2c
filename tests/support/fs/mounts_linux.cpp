#include "support/fs/mounts.hpp"

#include <fcntl.h>
#include <stdio.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace orvo::test {

BindMount::BindMount(const std::filesystem::path& source, const std::filesystem::path& target) {
  if (::mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) == 0) {
    target_ = target;
  } else {
    error_ = std::strerror(errno);
  }
}

BindMount::BindMount(BindMount&& other) noexcept
    : target_(std::exchange(other.target_, {})), error_(std::move(other.error_)) {}

BindMount::~BindMount() {
  // Detached, so that a descriptor a failed test left open cannot keep it.
  if (mounted()) ::umount2(target_.c_str(), MNT_DETACH);
}

bool exchange_entries(const std::filesystem::path& a, const std::filesystem::path& b) {
  return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
}

}  // namespace orvo::test
