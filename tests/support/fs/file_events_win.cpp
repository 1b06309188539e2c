#include "support/fs/file_events.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <deque>
#include <vector>

#include "platform/win32.hpp"

namespace orvo::test {

namespace fs = std::filesystem;

namespace {

// Names only: a change of size or time is not a step of its own, and would
// fill the buffer that the system keeps between two reads.
constexpr DWORD kWatched = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME;

// Room for every event of a busy step between two reads: the system keeps a
// buffer of this size for the handle and drops all it holds when it overflows.
constexpr DWORD kBufferBytes = 1 << 20;

std::optional<FileEventKind> kind_of(DWORD action) {
  if (action == FILE_ACTION_ADDED) return FileEventKind::Created;
  if (action == FILE_ACTION_RENAMED_NEW_NAME) return FileEventKind::MovedIn;
  return std::nullopt;
}

}  // namespace

struct FileEvents::Watch {
  void read_next();
  bool fill(std::chrono::milliseconds timeout);
  void take(DWORD bytes);

  fs::path root;
  HANDLE folder = INVALID_HANDLE_VALUE;
  HANDLE done = nullptr;
  OVERLAPPED overlapped{};
  bool pending = false;
  // FILE_NOTIFY_INFORMATION records are DWORD-aligned.
  std::vector<DWORD> buffer = std::vector<DWORD>(kBufferBytes / sizeof(DWORD));
  std::deque<FileEvent> ready;
};

// The first read starts the watch: the system gathers what happens from then
// on, also while no read is pending.
FileEvents::FileEvents(const fs::path& root) : watch_(std::make_unique<Watch>()) {
  watch_->root = root;
  watch_->folder = ::CreateFileW(root.c_str(), FILE_LIST_DIRECTORY,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED,
                                 nullptr);
  watch_->done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (watch_->folder == INVALID_HANDLE_VALUE || watch_->done == nullptr) {
    ADD_FAILURE() << "cannot watch " << root << ": Windows error " << ::GetLastError();
    return;
  }
  watch_->read_next();
}

// The pending read writes into the buffer until the system has cancelled it.
FileEvents::~FileEvents() {
  if (watch_->pending) {
    ::CancelIoEx(watch_->folder, &watch_->overlapped);
    DWORD bytes = 0;
    ::GetOverlappedResult(watch_->folder, &watch_->overlapped, &bytes, TRUE);
  }
  if (watch_->done != nullptr) ::CloseHandle(watch_->done);
  if (watch_->folder != INVALID_HANDLE_VALUE) ::CloseHandle(watch_->folder);
}

// A file's handle closing changes no name.
bool FileEvents::reports(FileEventKind kind) {
  return kind == FileEventKind::Created || kind == FileEventKind::MovedIn;
}

void FileEvents::Watch::read_next() {
  ::ResetEvent(done);
  overlapped = OVERLAPPED{};
  overlapped.hEvent = done;
  pending = ::ReadDirectoryChangesW(folder, buffer.data(), kBufferBytes, TRUE, kWatched, nullptr,
                                    &overlapped, nullptr) != FALSE;
  if (!pending) ADD_FAILURE() << "cannot watch " << root << ": Windows error " << ::GetLastError();
}

bool FileEvents::Watch::fill(std::chrono::milliseconds timeout) {
  if (!pending) return false;
  if (::WaitForSingleObject(done, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
    return false;
  }
  DWORD bytes = 0;
  const bool read = ::GetOverlappedResult(folder, &overlapped, &bytes, FALSE) != FALSE;
  pending = false;
  // No bytes: the buffer overflowed and what it held is lost, as inotify's
  // queue drops events when it is full.
  if (read) take(bytes);
  read_next();
  return true;
}

// The entry is looked at when its record is read: one gone again by then
// counts as a file.
void FileEvents::Watch::take(DWORD bytes) {
  const auto* base = reinterpret_cast<const std::byte*>(buffer.data());
  for (DWORD offset = 0; offset < bytes;) {
    FILE_NOTIFY_INFORMATION record;
    std::memcpy(&record, base + offset, offsetof(FILE_NOTIFY_INFORMATION, FileName));
    std::wstring name(record.FileNameLength / sizeof(wchar_t), L'\0');
    std::memcpy(name.data(), base + offset + offsetof(FILE_NOTIFY_INFORMATION, FileName),
                record.FileNameLength);
    if (const auto kind = kind_of(record.Action)) {
      const fs::path path = root / name;
      const DWORD attributes = ::GetFileAttributesW(path.c_str());
      ready.push_back({.kind = *kind,
                       .is_folder = attributes != INVALID_FILE_ATTRIBUTES &&
                                    (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                       .folder = path.parent_path(),
                       .name = path.filename().string()});
    }
    if (record.NextEntryOffset == 0) break;
    offset += record.NextEntryOffset;
  }
}

std::optional<FileEvent> FileEvents::next(std::chrono::milliseconds timeout) {
  while (watch_->ready.empty()) {
    if (!watch_->fill(timeout)) return std::nullopt;
  }
  FileEvent event = std::move(watch_->ready.front());
  watch_->ready.pop_front();
  return event;
}

}  // namespace orvo::test
