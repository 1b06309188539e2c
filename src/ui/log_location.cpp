#include "ui/log_location.hpp"

#include "core/cache/cache_root.hpp"
#include "platform/env.hpp"

namespace orvo::ui {

core::Result<std::filesystem::path> choose_log_path() {
  constexpr std::string_view kLogName = "launcher.log";
  if (auto root = core::launcher_cache_root()) return *root / kLogName;
  const std::filesystem::path temp = platform::temp_folder();
  // A relative folder would put the log wherever the launcher happened to be started.
  if (!temp.is_absolute()) return core::fail("No folder for the launcher log");
  return temp / "ORVO" / kLogName;
}

}  // namespace orvo::ui
