#include "core/cache/launcher_log.hpp"

#include <span>
#include <string>

#include "platform/fs.hpp"

namespace orvo::core {
namespace {

constexpr std::uint64_t kRotationThreshold = 1'000'000;
constexpr std::uint64_t kIntervalsFrom1601To1970 = 116'444'736'000'000'000;
constexpr std::uint64_t kIntervalsPerSecond = 10'000'000;

void rotate_if_large(const std::filesystem::path& log_path) {
  auto attributes = platform::followed_attributes(log_path);
  if (!attributes || attributes->size <= kRotationThreshold) return;
  std::filesystem::path previous = log_path;
  previous.replace_extension("previous.log");
  (void)platform::remove_file(previous);
  (void)platform::rename_replace(log_path, previous);
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
    rotate_if_large(log_path);
    auto file = platform::File::open_append(log_path);
    if (!file) return;
    std::string line(1, '[');
    line += std::to_string(seconds_since_1970(clock()));
    line += "] ";
    line += text;
    line += '\n';
    (void)file->write_all(std::as_bytes(std::span(line)));
  } catch (...) {
    // Logging must never disturb the attempt, not even when memory runs out.
  }
}

}  // namespace orvo::core
