#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/cache/cache_root.hpp"
#include "support/fs/scoped_variable.hpp"

namespace orvo::core {
namespace {

TEST(CacheRootTest, UnsetVariableIsTheOnlyFailure) {
  test::ScopedVariable unset("LOCALAPPDATA", std::nullopt);
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

}  // namespace
}  // namespace orvo::core
