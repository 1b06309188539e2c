#include "platform/private_folder_posix.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "platform/env.hpp"
#include "platform/handle_traits.hpp"
#include "platform/os_error.hpp"

namespace orvo::platform {
namespace {

// The folder itself is opened, never a link's target, and examined through
// the open descriptor, so what is checked is what the path leads to now.
core::Result<void> check_private(const std::filesystem::path& folder) {
  UniqueFd fd;
  for (;;) {
    fd = UniqueFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.valid() || errno != EINTR) break;
  }
  if (!fd.valid()) return std::unexpected(last_os_error());
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) return std::unexpected(last_os_error());
  if (!S_ISDIR(status.st_mode) || status.st_uid != ::geteuid() ||
      (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return core::fail("The folder is not this user's own");
  }
  return {};
}

}  // namespace

std::filesystem::path per_user_folder() {
  std::filesystem::path base = temp_folder();
  if (!base.is_absolute()) base = "/tmp";
  return base / ("orvo-" + std::to_string(::geteuid()));
}

core::Result<std::filesystem::path> private_folder() {
  if (auto runtime = env_path("XDG_RUNTIME_DIR"); runtime && runtime->is_absolute()) {
    if (check_private(*runtime)) return *runtime;
  }
  std::filesystem::path folder = per_user_folder();
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    return std::unexpected(last_os_error().wrap("The user's private folder cannot be made"));
  }
  if (auto checked = check_private(folder); !checked) {
    return std::unexpected(std::move(checked).error().wrap("The user's private folder is refused"));
  }
  return folder;
}

}  // namespace orvo::platform
