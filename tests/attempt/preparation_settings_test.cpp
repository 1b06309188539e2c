// The built-in settings of a default build: the placeholder server and no key,
// which an attempt reports as a launcher not configured for distribution.
#include "attempt/preparation_settings.hpp"

#include <gtest/gtest.h>

#include "attempt/configuration.hpp"
#include "core/net/builtin_roots.hpp"

namespace orvo::core {
namespace {

TEST(BuiltinPreparationSettings, DefaultBuildIsNotConfiguredForDistribution) {
  const PreparationSettings settings = builtin_preparation_settings();
  if (settings.manifest_url.find("downloads.orvo.invalid") == std::string::npos) {
    GTEST_SKIP() << "this build names its own release server";
  }
  EXPECT_EQ(settings.manifest_url,
            "https://downloads.orvo.invalid/downloads/host/win-x64/latest.json");
  EXPECT_EQ(settings.client.roots_pem, builtin_roots_pem());
  EXPECT_FALSE(settings.allow_loopback_http);
  if (!settings.release_key_text.empty()) GTEST_SKIP() << "this build carries a release key";
  auto context = configure_attempt(settings, CancelFlag{});
  ASSERT_FALSE(context);
  EXPECT_EQ(context.error().chain_text(),
            "This launcher has not been configured for distribution. Run "
            "deploy/Publish-WindowsHost.ps1.");
}

TEST(ManifestUrlFor, PutsTheHostBetweenSchemeAndPath) {
  EXPECT_EQ(manifest_url_for("downloads.example.test"),
            "https://downloads.example.test/downloads/host/win-x64/latest.json");
}

}  // namespace
}  // namespace orvo::core
