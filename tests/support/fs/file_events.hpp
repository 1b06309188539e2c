// What happens in a folder tree, as the system reports it: entries created,
// files closed after writing or reading, entries moved in, so that a test can
// follow a child process through its steps and act at an exact one. Linux
// (inotify) reports every kind, and watches folders made below the root as
// they appear; Windows (ReadDirectoryChangesW over the whole tree) tells of
// no file closed, so a test asks reports() before it counts on a kind.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace orvo::test {

enum class FileEventKind { Created, ClosedAfterWrite, ClosedAfterRead, MovedIn };

struct FileEvent {
  FileEventKind kind;
  bool is_folder = false;
  // The folder the entry is in. Linux names it by the path it had when its
  // watch began (a watched folder that is renamed keeps its old path here);
  // Windows by the path it had at the event.
  std::filesystem::path folder;
  std::string name;
};

class FileEvents {
 public:
  explicit FileEvents(const std::filesystem::path& root);  // fails the test when it cannot watch
  FileEvents(const FileEvents&) = delete;
  FileEvents& operator=(const FileEvents&) = delete;
  ~FileEvents();

  // Whether this system reports events of the kind at all.
  static bool reports(FileEventKind kind);

  // The next event, waiting at most timeout for it.
  std::optional<FileEvent> next(std::chrono::milliseconds timeout);

 private:
  struct Watch;
  std::unique_ptr<Watch> watch_;
};

}  // namespace orvo::test
