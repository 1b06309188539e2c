#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <utility>

#include "platform/os_error.hpp"
#include "platform/private_folder_posix.hpp"
#include "platform/session_mutex.hpp"

namespace orvo::platform {
namespace {

constexpr std::string_view kLocalPrefix = "Local\\";

// The lock file of a name: "<private folder>/<name>.lock".
core::Result<std::filesystem::path> lock_file_of(std::string_view name) {
  if (!name.starts_with(kLocalPrefix)) return core::fail("Invalid session object name");
  const std::string_view local = name.substr(kLocalPrefix.size());
  if (local.empty() || local == "." || local == ".." ||
      local.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos) {
    return core::fail("Invalid session object name");
  }
  auto folder = private_folder();
  if (!folder) return std::unexpected(std::move(folder).error().wrap("The session has no runtime folder"));
  return *folder / (std::string(local) + ".lock");
}

// The file is opened, never followed through a link, and created for this user only.
core::Result<UniqueFd> open_lock_file(const std::filesystem::path& path) {
  for (;;) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) return UniqueFd(fd);
    if (errno != EINTR) return std::unexpected(last_os_error());
  }
}

// flock without waiting; false when another open file holds a conflicting lock.
core::Result<bool> try_lock(int fd, int operation) {
  for (;;) {
    if (::flock(fd, operation | LOCK_NB) == 0) return true;
    if (errno == EWOULDBLOCK) return false;
    if (errno != EINTR) return std::unexpected(last_os_error());
  }
}

}  // namespace

core::Result<CreatedSessionMutex> create_session_mutex(std::string_view name) {
  auto path = lock_file_of(name);
  if (!path) return std::unexpected(std::move(path.error()));
  auto fd = open_lock_file(*path);
  if (!fd) return std::unexpected(std::move(fd.error()));
  auto locked = try_lock(fd->get(), LOCK_EX);
  if (!locked) return std::unexpected(std::move(locked.error()));
  // Closing the file ends its lock. The file stays: removing it would race
  // with a process that has just opened it to take the lock.
  return CreatedSessionMutex{.mutex = SessionMutex(std::move(*fd)), .already_existed = !*locked};
}

bool session_mutex_exists(std::string_view name) {
  auto path = lock_file_of(name);
  if (!path) return false;
  // A missing file means nobody has held the name since the session began;
  // the test must not create it.
  const UniqueFd fd(::open(path->c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  if (!fd.valid()) return false;
  // A shared lock for an instant tells whether a holder's exclusive one is there.
  const auto locked = try_lock(fd.get(), LOCK_SH);
  return locked && !*locked;
}

}  // namespace orvo::platform
