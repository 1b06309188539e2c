#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <system_error>

#include "platform/fs.hpp"
#include "platform/fs_descriptors_linux.hpp"
#include "platform/os_error.hpp"

namespace orvo::platform {
namespace {

std::unexpected<core::Error> failure() { return std::unexpected(last_os_error()); }

EntryAttributes from_stat(const struct stat& info) {
  return attributes_of_mode(info.st_mode, info.st_size);
}

Result<UniqueFd> open_descriptor(const std::filesystem::path& path, int flags, mode_t mode) {
  return open_descriptor_at(AT_FDCWD, path, flags, mode);
}

}  // namespace

EntryAttributes attributes_of_mode(mode_t mode, std::int64_t size) {
  EntryAttributes result;
  if (S_ISDIR(mode)) result.attributes |= kDirectory;
  if (S_ISLNK(mode)) result.attributes |= kReparsePoint;
  result.regular = S_ISREG(mode);
  result.size = size > 0 ? static_cast<std::uint64_t>(size) : 0;
  return result;
}

std::string entry_text(const std::filesystem::path& path) {
  std::string text = path.native();
  for (;;) {
    if (text.size() > 1 && text.ends_with('/')) {
      text.pop_back();
    } else if (text.size() > 2 && text.ends_with("/.")) {
      text.resize(text.size() - 2);
    } else {
      return text;
    }
  }
}

// The flag that keeps a FIFO's open from waiting is cleared again after.
Result<UniqueFd> open_descriptor_at(int folder, const std::filesystem::path& path, int flags,
                                    mode_t mode) {
  UniqueFd fd(::openat(folder, path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, mode));
  if (!fd.valid()) return failure();
  const int status = ::fcntl(fd.get(), F_GETFL);
  if (status < 0 || ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK) < 0) return failure();
  return fd;
}

Result<std::vector<FolderEntry>> list_open_folder(UniqueFd folder) {
  DIR* dir = ::fdopendir(folder.get());
  if (dir == nullptr) return failure();
  folder.release();  // the folder stream owns it now
  struct CloseDir {
    void operator()(DIR* d) const { ::closedir(d); }
  };
  std::unique_ptr<DIR, CloseDir> owned(dir);
  std::vector<FolderEntry> entries;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) entries.push_back({std::unexpected(last_os_error())});
      break;
    }
    const std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    entries.push_back({std::filesystem::path(std::string(name))});
  }
  return entries;
}

Result<EntryAttributes> entry_attributes(const std::filesystem::path& path) {
  struct stat info {};
  if (::lstat(entry_text(path).c_str(), &info) != 0) return failure();
  return from_stat(info);
}

Result<EntryAttributes> followed_attributes(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return failure();
  return from_stat(info);
}

Result<void> create_folder(const std::filesystem::path& path) {
  if (::mkdir(path.c_str(), 0755) != 0) return failure();
  return {};
}

Result<void> create_folders(const std::filesystem::path& path) {
  if (path.empty()) return {};
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return {};
    return std::unexpected(os_error(EEXIST));
  }
  const std::filesystem::path parent = path.parent_path();
  if (!parent.empty() && parent != path) {
    if (auto made = create_folders(parent); !made) return made;
  }
  if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return failure();
  if (::stat(path.c_str(), &info) != 0) return failure();
  if (!S_ISDIR(info.st_mode)) return std::unexpected(os_error(EEXIST));
  return {};
}

Result<std::filesystem::path> canonical_path(const std::filesystem::path& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr),
                                                       &std::free);
  if (!resolved) return failure();
  return std::filesystem::path(resolved.get());
}

Result<void> rename_no_replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
  if (errno != EINVAL && errno != ENOSYS) return failure();
  // A file system without the flag: a link-free check, then the plain rename.
  struct stat info {};
  if (::lstat(to.c_str(), &info) == 0) return std::unexpected(os_error(EEXIST));
  if (::rename(from.c_str(), to.c_str()) != 0) return failure();
  return {};
}

Result<void> rename_replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return failure();
  return {};
}

Result<void> remove_file(const std::filesystem::path& path) {
  if (::unlink(path.c_str()) != 0) return failure();
  return {};
}

void remove_tree(const std::filesystem::path& path) noexcept {
  std::error_code ignored;
  std::filesystem::remove_all(entry_text(path), ignored);
}

Result<std::vector<FolderEntry>> list_folder(const std::filesystem::path& path) {
  UniqueFd fd(::open(entry_text(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
  if (!fd.valid()) return failure();
  return list_open_folder(std::move(fd));
}

Result<File> File::create_new(const std::filesystem::path& path, FileMode mode) {
  const mode_t bits = mode == FileMode::Executable ? 0755 : 0644;
  auto fd = open_descriptor(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, bits);
  if (!fd) return std::unexpected(std::move(fd).error());
  // The process umask must not take away the executable bits asked for. A
  // file made before a failure stays, like one whose writing failed later.
  if (::fchmod(fd->get(), bits) != 0) return failure();
  return File(std::move(*fd));
}

Result<File> File::open_read(const std::filesystem::path& path) {
  auto fd = open_descriptor(path, O_RDONLY, 0);
  if (!fd) return std::unexpected(std::move(fd).error());
  return File(std::move(*fd));
}

Result<File> File::open_read_entry(const std::filesystem::path& path) {
  auto fd = open_descriptor(entry_text(path), O_RDONLY | O_NOFOLLOW, 0);
  if (!fd) return std::unexpected(std::move(fd).error());
  return File(std::move(*fd));
}

Result<File> File::open_append(const std::filesystem::path& path) {
  // A link in the last component is refused: in a folder that others can
  // write, it would send the lines into a file of the planter's choosing.
  auto fd = open_descriptor(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW, 0644);
  if (!fd) return std::unexpected(std::move(fd).error());
  return File(std::move(*fd));
}

Result<std::size_t> File::read(std::span<std::byte> buffer) {
  for (;;) {
    const ssize_t count = ::read(handle_.get(), buffer.data(), buffer.size());
    if (count >= 0) return static_cast<std::size_t>(count);
    if (errno != EINTR) return failure();
  }
}

Result<void> File::write_all(std::span<const std::byte> bytes) {
  while (!bytes.empty()) {
    const ssize_t count = ::write(handle_.get(), bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      return failure();
    }
    // A write that takes nothing would otherwise be repeated for ever.
    if (count == 0) {
      return std::unexpected(core::Error::io(core::IoKind::Other, "The write accepted no bytes"));
    }
    bytes = bytes.subspan(static_cast<std::size_t>(count));
  }
  return {};
}

Result<void> File::sync() {
  if (::fsync(handle_.get()) != 0) return failure();
  return {};
}

Result<EntryAttributes> File::attributes() const {
  struct stat info {};
  if (::fstat(handle_.get(), &info) != 0) return failure();
  return from_stat(info);
}

Result<void> File::close() {
  if (::close(handle_.release()) != 0) return failure();
  return {};
}

}  // namespace orvo::platform
