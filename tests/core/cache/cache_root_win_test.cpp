// The cache root under a Windows local application-data folder.
#include <gtest/gtest.h>

#include "core/cache/cache_root.hpp"
#include "support/fs/scoped_variable.hpp"

namespace orvo::core {
namespace {

TEST(CacheRootWinTest, JoinsWithoutDoublingSeparators) {
  for (const char* value : {"C:\\Users\\u\\AppData\\Local", "C:\\Users\\u\\AppData\\Local\\"}) {
    test::ScopedVariable set("LOCALAPPDATA", value);
    auto root = launcher_cache_root();
    ASSERT_TRUE(root.has_value()) << value;
    EXPECT_EQ(root->native(), L"C:\\Users\\u\\AppData\\Local\\ORVO\\HostLauncher") << value;
  }
}

TEST(CacheRootWinTest, UnsetVariableIsAFailure) {
  test::ScopedVariable unset("LOCALAPPDATA", std::nullopt);
  EXPECT_FALSE(launcher_cache_root().has_value());
}

}  // namespace
}  // namespace orvo::core
