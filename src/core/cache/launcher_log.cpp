#include "core/cache/launcher_log.hpp"

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <thread>

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

// Another writer holds the lock for one line or one rotation. One that holds
// it longer (a stuck launcher, another program that locks the file) must not
// hold the attempt, which still has its final message to send: about 100 ms
// of tries, then the line is written without rotating.
constexpr int kLockTries = 20;
constexpr auto kLockPause = std::chrono::milliseconds(5);

// Nothing when another holder kept the lock through every try; an error when
// the file cannot be locked at all.
core::Result<std::optional<platform::FileLock>> lock_log(const platform::File& log) {
  for (int tries = 1;; ++tries) {
    auto lock = platform::FileLock::try_acquire(log);
    if (!lock || *lock || tries == kLockTries) return lock;
    std::this_thread::sleep_for(kLockPause);
  }
}

// Under the lock on the log when there is one, so that no other writer
// rotates at the same time: two would delete each other's previous log. Only
// a plain file is a log; whatever else bears the name is left alone.
bool rotated_if_large(const core::Result<platform::EntryAttributes>& attributes,
                      const std::filesystem::path& log_path) {
  if (!attributes || !attributes->regular || attributes->size <= kRotationThreshold) return false;
  std::filesystem::path previous = log_path;
  previous.replace_extension("previous.log");
  (void)platform::remove_file(previous);
  return platform::rename_replace(log_path, previous).has_value();
}

// Whether the log was rotated, which leaves a new log to open. With the lock
// the rotation happens only while the path still leads to the locked file;
// without one (a file system may have none) it happens all the same, for the
// logs must stay bounded. A writer that found the lock held by another writes
// its line without rotating.
bool rotated(const core::Result<std::optional<platform::FileLock>>& lock,
             const platform::File& log, const std::filesystem::path& log_path) {
  if (!lock) return rotated_if_large(log.attributes(), log_path);
  if (!*lock) return false;
  const auto current = (*lock)->holds(log_path);
  return current && (!*current || rotated_if_large(log.attributes(), log_path));
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
      const bool may_retry = tries < kOpenTries;
      auto appending = platform::File::open_append(log_path);
      const bool can_append = appending.has_value();
      // A log that cannot be appended to (a read-only one) can still be
      // renamed away, so that a fresh log starts.
      auto log = can_append ? std::move(appending) : platform::File::open_read_entry(log_path);
      if (!log) {
        if (may_retry && rotated_if_large(platform::entry_attributes(log_path), log_path)) continue;
        return;
      }
      // The line too is written under the lock, or a rotation could move it
      // into the previous log.
      const auto lock = lock_log(*log);
      if (may_retry && rotated(lock, *log, log_path)) continue;
      if (!can_append) return;
      std::string line(1, '[');
      line += std::to_string(seconds_since_1970(clock()));
      line += "] ";
      line += text;
      line += '\n';
      (void)log->write_all(std::as_bytes(std::span(line)));
      return;
    }
  } catch (...) {
    // Logging must never disturb the attempt, not even when memory runs out.
  }
}

}  // namespace orvo::core
