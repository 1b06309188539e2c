#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/cache/cache_root.hpp"
#include "support/fs/no_local_app_data.hpp"
#include "support/fs/scoped_variable.hpp"

namespace orvo::core {
namespace {

TEST(CacheRootTest, UnsetVariableIsTheOnlyFailure) {
  const test::NoLocalAppData unset;
  auto root = launcher_cache_root();
  ASSERT_FALSE(root.has_value());
  EXPECT_EQ(root.error().chain_text(), "Windows local application folder is unavailable");
  EXPECT_EQ(root.error().cause(), nullptr);
}

TEST(CacheRootTest, JoinsWithoutDoublingSeparators) {
  struct Case {
    const char* value;
    const char* expected;
  };
  const Case cases[] = {
      {"/home/u/.local", "/home/u/.local/ORVO/HostLauncher"},
      {"/home/u/.local/", "/home/u/.local/ORVO/HostLauncher"},
      {"", "ORVO/HostLauncher"},  // set but empty: a relative path, not a failure
      {"relative dir", "relative dir/ORVO/HostLauncher"},
  };
  for (const Case& c : cases) {
    test::ScopedVariable set("LOCALAPPDATA", c.value);
    auto root = launcher_cache_root();
    ASSERT_TRUE(root.has_value()) << c.value;
    EXPECT_EQ(root->string(), c.expected) << c.value;
  }
}

// A Linux session sets no LOCALAPPDATA: the cache lies in the user's data folder.
TEST(CacheRootTest, WithoutTheVariableTheUsersDataFolderHoldsIt) {
  test::ScopedVariable unset("LOCALAPPDATA", std::nullopt);
  test::ScopedVariable home("HOME", "/home/u");
  for (const std::optional<std::string>& data_home :
       {std::optional<std::string>{"/home/u/data"}, std::optional<std::string>{}}) {
    test::ScopedVariable data("XDG_DATA_HOME", data_home);
    auto root = launcher_cache_root();
    ASSERT_TRUE(root.has_value()) << root.error().chain_text();
    EXPECT_EQ(root->string(), data_home.value_or("/home/u/.local/share") + "/ORVO/HostLauncher");
  }
}

}  // namespace
}  // namespace orvo::core
