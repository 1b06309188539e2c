#include "ui/log_location.hpp"

#include "core/cache/cache_root.hpp"
#include <utility>

#include "platform/env.hpp"

namespace orvo::ui {

core::Result<std::filesystem::path> choose_log_path() {
  constexpr std::string_view kLogName = "launcher.log";
  if (auto root = core::launcher_cache_root()) return *root / kLogName;
  auto temp = platform::private_temp_folder();
  if (!temp) return std::unexpected(std::move(temp).error().wrap("No folder for the launcher log"));
  return *temp / "ORVO" / kLogName;
}

}  // namespace orvo::ui
