#include "core/cache/launcher_log.hpp"

#include <span>
#include <string>

#include "platform/file_lock.hpp"
#include "platform/fs.hpp"

namespace orvo::core {
namespace {

constexpr std::uint64_t kRotationThreshold = 1'000'000;
constexpr std::uint64_t kIntervalsFrom1601To1970 = 116'444'736'000'000'000;
constexpr std::uint64_t kIntervalsPerSecond = 10'000'000;

// A writer opens the log before it locks it, and a writer before may have
// rotated it in between; a few tries find the current one.
constexpr int kOpenTries = 8;

// Run under the lock on the log, so that no other writer rotates at the same
// time: two would delete each other's previous log. Only a plain file is a
// log; whatever else bears the name is left alone.
bool rotated_if_large(const platform::File& log, const std::filesystem::path& log_path) {
  auto attributes = log.attributes();
  if (!attributes || !attributes->regular || attributes->size <= kRotationThreshold) return false;
  std::filesystem::path previous = log_path;
  previous.replace_extension("previous.log");
  (void)platform::remove_file(previous);
  return platform::rename_replace(log_path, previous).has_value();
}

}  // namespace

std::uint64_t seconds_since_1970(std::uint64_t intervals_since_1601) {
  if (intervals_since_1601 < kIntervalsFrom1601To1970) return 0;
  return (intervals_since_1601 - kIntervalsFrom1601To1970) / kIntervalsPerSecond;
}

void write_log_line(const std::filesystem::path& log_path, std::string_view text,
                    SystemClock clock) noexcept {
  try {
    if (log_path.has_parent_path()) (void)platform::create_folders(log_path.parent_path());
    for (int tries = 1;; ++tries) {
      auto file = platform::File::open_append(log_path);
      if (!file) return;
      // The line too is written under the lock, or a rotation could move it
      // into the previous log. Without a lock (a file system may have none)
      // the line is still written, only no rotation is tried.
      const auto lock = platform::FileLock::acquire(*file);
      if (lock && tries < kOpenTries) {
        const auto current = lock->holds(log_path);
        if (current && (!*current || rotated_if_large(*file, log_path))) continue;
      }
      std::string line(1, '[');
      line += std::to_string(seconds_since_1970(clock()));
      line += "] ";
      line += text;
      line += '\n';
      (void)file->write_all(std::as_bytes(std::span(line)));
      return;
    }
  } catch (...) {
    // Logging must never disturb the attempt, not even when memory runs out.
  }
}

}  // namespace orvo::core
