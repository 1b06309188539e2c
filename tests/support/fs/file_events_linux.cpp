#include "support/fs/file_events.hpp"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>

namespace orvo::test {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kWatched =
    IN_CREATE | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE | IN_MOVED_TO | IN_ONLYDIR;

std::optional<FileEventKind> kind_of(std::uint32_t mask) {
  if ((mask & IN_CREATE) != 0) return FileEventKind::Created;
  if ((mask & IN_CLOSE_WRITE) != 0) return FileEventKind::ClosedAfterWrite;
  if ((mask & IN_CLOSE_NOWRITE) != 0) return FileEventKind::ClosedAfterRead;
  if ((mask & IN_MOVED_TO) != 0) return FileEventKind::MovedIn;
  return std::nullopt;
}

}  // namespace

struct FileEvents::Watch {
  void watch_tree(const fs::path& folder);
  bool fill(std::chrono::milliseconds timeout);

  int fd = -1;
  std::map<int, fs::path> folders;
  std::string buffer;
  std::size_t offset = 0;
};

FileEvents::FileEvents(const fs::path& root) : watch_(std::make_unique<Watch>()) {
  watch_->fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (watch_->fd < 0) {
    ADD_FAILURE() << "inotify_init1: " << std::strerror(errno);
    return;
  }
  watch_->watch_tree(root);
}

FileEvents::~FileEvents() {
  if (watch_->fd >= 0) close(watch_->fd);
}

bool FileEvents::reports(FileEventKind /*kind*/) { return true; }

// A folder made before its watch began may already hold entries; its
// subfolders are watched too, the events already past are gone.
void FileEvents::Watch::watch_tree(const fs::path& folder) {
  const int wd = inotify_add_watch(fd, folder.c_str(), kWatched);
  if (wd < 0) return;  // gone again, or not a folder
  if (folders.contains(wd)) return;
  folders[wd] = folder;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (entry.is_directory(error) && !entry.is_symlink(error)) watch_tree(entry.path());
  }
}

bool FileEvents::Watch::fill(std::chrono::milliseconds timeout) {
  pollfd ready{.fd = fd, .events = POLLIN, .revents = 0};
  if (poll(&ready, 1, static_cast<int>(timeout.count())) <= 0) return false;
  char chunk[64 * 1024];
  const ssize_t count = read(fd, chunk, sizeof chunk);
  if (count <= 0) return false;
  buffer.assign(chunk, static_cast<std::size_t>(count));
  offset = 0;
  return true;
}

std::optional<FileEvent> FileEvents::next(std::chrono::milliseconds timeout) {
  Watch& w = *watch_;
  if (w.fd < 0) return std::nullopt;
  for (;;) {
    if (w.offset >= w.buffer.size() && !w.fill(timeout)) return std::nullopt;
    inotify_event header;
    std::memcpy(&header, w.buffer.data() + w.offset, sizeof header);
    const std::string name(w.buffer.data() + w.offset + sizeof header,
                           strnlen(w.buffer.data() + w.offset + sizeof header, header.len));
    w.offset += sizeof header + header.len;
    const auto kind = kind_of(header.mask);
    const auto folder = w.folders.find(header.wd);
    if (!kind || folder == w.folders.end()) continue;
    FileEvent event{.kind = *kind,
                    .is_folder = (header.mask & IN_ISDIR) != 0,
                    .folder = folder->second,
                    .name = name};
    if (event.is_folder && (*kind == FileEventKind::Created || *kind == FileEventKind::MovedIn)) {
      w.watch_tree(event.folder / name);
    }
    return event;
  }
}

}  // namespace orvo::test
