#include "core/cache/cache_root.hpp"

#include "platform/env.hpp"

namespace orvo::core {

Result<std::filesystem::path> launcher_cache_root() {
  auto local = platform::local_app_data_folder();
  if (!local) return fail("Windows local application folder is unavailable");
  return *local / "ORVO" / "HostLauncher";
}

}  // namespace orvo::core
