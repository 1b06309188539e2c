// What happens in a folder tree, as the kernel reports it (inotify): entries
// created, files closed after writing or reading, entries moved in. Folders
// made below the root are watched as they appear, so a test can follow a
// child process through its steps and act at an exact one.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace orvo::test {

enum class FileEventKind { Created, ClosedAfterWrite, ClosedAfterRead, MovedIn };

struct FileEvent {
  FileEventKind kind;
  bool is_folder = false;
  // The folder the entry is in, by the path it had when its watch began
  // (a watched folder that is renamed keeps its old path here).
  std::filesystem::path folder;
  std::string name;
};

class FileEvents {
 public:
  explicit FileEvents(const std::filesystem::path& root);  // fails the test when it cannot watch
  FileEvents(const FileEvents&) = delete;
  FileEvents& operator=(const FileEvents&) = delete;
  ~FileEvents();

  // The next event, waiting at most timeout for it.
  std::optional<FileEvent> next(std::chrono::milliseconds timeout);

 private:
  void watch_tree(const std::filesystem::path& folder);
  bool fill(std::chrono::milliseconds timeout);

  int fd_ = -1;
  std::map<int, std::filesystem::path> folders_;
  std::string buffer_;
  std::size_t offset_ = 0;
};

}  // namespace orvo::test
