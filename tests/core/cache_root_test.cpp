#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "core/cache_root.hpp"

namespace orvo::core {
namespace {

// Sets or unsets LOCALAPPDATA for one test and puts the old value back.
class LocalAppData {
 public:
  explicit LocalAppData(const char* value) {
    if (const char* old = ::getenv("LOCALAPPDATA")) saved_ = old;
    if (value == nullptr) {
      ::unsetenv("LOCALAPPDATA");
    } else {
      ::setenv("LOCALAPPDATA", value, 1);
    }
  }
  ~LocalAppData() {
    if (saved_) {
      ::setenv("LOCALAPPDATA", saved_->c_str(), 1);
    } else {
      ::unsetenv("LOCALAPPDATA");
    }
  }

 private:
  std::optional<std::string> saved_;
};

TEST(CacheRootTest, UnsetVariableIsTheOnlyFailure) {
  LocalAppData unset(nullptr);
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
    LocalAppData set(c.value);
    auto root = launcher_cache_root();
    ASSERT_TRUE(root.has_value()) << c.value;
    EXPECT_EQ(root->string(), c.expected) << c.value;
  }
}

}  // namespace
}  // namespace orvo::core
