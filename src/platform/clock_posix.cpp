#include "platform/clock.hpp"

#include <sys/stat.h>

#include <ctime>

#include "platform/os_error.hpp"

namespace orvo::platform {
namespace {

std::uint64_t since_1601(const timespec& time) {
  constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
  const std::int64_t seconds = static_cast<std::int64_t>(time.tv_sec) + kSecondsFrom1601To1970;
  if (seconds < 0) return 0;
  return static_cast<std::uint64_t>(seconds) * 10'000'000u +
         static_cast<std::uint64_t>(time.tv_nsec) / 100u;
}

}  // namespace

std::uint64_t system_time_since_1601() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return since_1601(now);
}

core::Result<std::uint64_t> entry_write_time(const std::filesystem::path& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::unexpected(last_os_error());
  return since_1601(info.st_mtim);
}

}  // namespace orvo::platform
