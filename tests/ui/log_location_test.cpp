// Where the log goes: the cache root, else "ORVO" in the temporary folder.
#include "ui/log_location.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/env.hpp"
#include "support/fs/no_local_app_data.hpp"
#include "support/fs/scoped_variable.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::ui {
namespace {

namespace fs = std::filesystem;

struct LogCase {
  std::string label;
  std::optional<std::string> local_app_data;  // nothing: no cache root can be found
};

class LogLocation : public testing::TestWithParam<LogCase> {
 protected:
  // The temporary folder of a Linux session, where the per-user one is not needed.
  test::TempDir runtime;
  test::ScopedVariable runtime_variable{"XDG_RUNTIME_DIR", runtime.path().string()};
};

TEST_P(LogLocation, PrefersTheCacheRootThenTheTemporaryFolder) {
  const LogCase& c = GetParam();
  const test::NoLocalAppData no_cache_root;
  std::optional<test::ScopedVariable> local;
  if (c.local_app_data) local.emplace("LOCALAPPDATA", c.local_app_data);
  const auto path = choose_log_path();
  ASSERT_TRUE(path) << path.error().chain_text();
  if (c.local_app_data) {
    EXPECT_EQ(*path, fs::path(*c.local_app_data) / "ORVO" / "HostLauncher" / "launcher.log");
  } else {
    const auto temp = platform::private_temp_folder();
    ASSERT_TRUE(temp) << temp.error().chain_text();
    EXPECT_EQ(*path, *temp / "ORVO" / "launcher.log");
  }
}

INSTANTIATE_TEST_SUITE_P(Environments, LogLocation,
                         testing::Values(LogCase{"CacheRoot", "/home/u/local"},
                                         LogCase{"NoCacheRoot", std::nullopt}),
                         [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace orvo::ui
