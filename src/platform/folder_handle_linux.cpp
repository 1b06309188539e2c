#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>

#include "platform/folder_handle.hpp"
#include "platform/fs_descriptors_linux.hpp"
#include "platform/os_error.hpp"

namespace orvo::platform {
namespace {

std::unexpected<core::Error> failure() { return std::unexpected(last_os_error()); }

struct Placed {
  EntryAttributes attributes;
  std::uint64_t volume = 0;
};

// The entry itself, never a link's target, and never mounting what an
// automount point would bring in.
Result<Placed> place(int folder, const char* name, int flags) {
  struct statx info {};
  if (::statx(folder, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
              STATX_TYPE | STATX_SIZE | STATX_MNT_ID, &info) != 0) {
    return failure();
  }
  Placed placed{attributes_of_mode(info.stx_mode, static_cast<std::int64_t>(info.stx_size))};
  // The mount tells a bind mount of a folder of the same file system apart;
  // kernels that do not report it leave the device to tell file systems apart.
  placed.volume = (info.stx_mask & STATX_MNT_ID) != 0
                      ? info.stx_mnt_id
                      : ::makedev(info.stx_dev_major, info.stx_dev_minor);
  return placed;
}

Result<Placed> place_open(int fd) { return place(fd, "", AT_EMPTY_PATH); }

// Opens name in the folder; what turns out to lie on another mount is refused.
Result<UniqueFd> open_on_mount(int folder, const std::filesystem::path& name, int flags,
                               std::uint64_t volume) {
  auto fd = open_descriptor_at(folder, name, flags | O_NOFOLLOW, 0);
  if (!fd) return fd;
  auto placed = place_open(fd->get());
  if (!placed) return std::unexpected(std::move(placed).error());
  if (placed->volume != volume) return std::unexpected(os_error(EXDEV));
  return fd;
}

}  // namespace

Result<FolderHandle> FolderHandle::open(const std::filesystem::path& path) {
  auto fd = open_descriptor_at(AT_FDCWD, entry_text(path), O_RDONLY | O_DIRECTORY | O_NOFOLLOW, 0);
  if (!fd) return std::unexpected(std::move(fd).error());
  auto self = place_open(fd->get());
  if (!self) return std::unexpected(std::move(self).error());
  // ".." of a mount's root leads out of the mount, to the folder it is mounted on.
  auto above = place(fd->get(), "..", 0);
  if (!above) return std::unexpected(std::move(above).error());
  if (self->volume != above->volume) return std::unexpected(os_error(EXDEV));
  return FolderHandle(std::move(*fd), path, self->volume);
}

Result<std::vector<FolderEntry>> FolderHandle::list() const {
  // A descriptor of its own: a listing's position must start at the beginning.
  auto fd = open_descriptor_at(handle_.get(), ".", O_RDONLY | O_DIRECTORY, 0);
  if (!fd) return std::unexpected(std::move(fd).error());
  return list_open_folder(std::move(*fd));
}

Result<EntryAttributes> FolderHandle::entry_attributes(const std::filesystem::path& name) const {
  auto placed = place(handle_.get(), name.c_str(), 0);
  if (!placed) return std::unexpected(std::move(placed).error());
  if (placed->volume != volume_) placed->attributes.attributes |= kReparsePoint;
  return placed->attributes;
}

Result<FolderHandle> FolderHandle::open_folder(const std::filesystem::path& name) const {
  auto fd = open_on_mount(handle_.get(), name, O_RDONLY | O_DIRECTORY, volume_);
  if (!fd) return std::unexpected(std::move(fd).error());
  return FolderHandle(std::move(*fd), path_ / name, volume_);
}

Result<File> FolderHandle::open_file(const std::filesystem::path& name) const {
  auto fd = open_on_mount(handle_.get(), name, O_RDONLY, volume_);
  if (!fd) return std::unexpected(std::move(fd).error());
  return File(std::move(*fd));
}

}  // namespace orvo::platform
