// Where the log goes: the cache root, else "ORVO" in the temporary folder.
#include "ui/log_location.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/fs/scoped_variable.hpp"

namespace orvo::ui {
namespace {

struct LogCase {
  std::string label;
  std::optional<std::string> local_app_data;
  std::optional<std::string> tmpdir;
  std::optional<std::string> path;  // nothing: no folder can be had
};

class LogLocation : public testing::TestWithParam<LogCase> {};

TEST_P(LogLocation, PrefersTheCacheRootThenTheTemporaryFolder) {
  const LogCase& c = GetParam();
  test::ScopedVariable local("LOCALAPPDATA", c.local_app_data);
  test::ScopedVariable tmpdir("TMPDIR", c.tmpdir);
  const auto path = choose_log_path();
  if (c.path) {
    ASSERT_TRUE(path) << path.error().chain_text();
    EXPECT_EQ(path->string(), *c.path);
  } else {
    EXPECT_FALSE(path);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Environments, LogLocation,
    testing::Values(
        LogCase{"CacheRoot", "/home/u/local", "/var/tmp/u", "/home/u/local/ORVO/HostLauncher/launcher.log"},
        LogCase{"NoCacheRoot", std::nullopt, "/var/tmp/u", "/var/tmp/u/ORVO/launcher.log"},
        LogCase{"NoTmpdir", std::nullopt, std::nullopt, "/tmp/ORVO/launcher.log"},
        LogCase{"EmptyTmpdir", std::nullopt, "", "/tmp/ORVO/launcher.log"},
        LogCase{"RelativeTmpdir", std::nullopt, "tmp", std::nullopt}),
    [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace orvo::ui
