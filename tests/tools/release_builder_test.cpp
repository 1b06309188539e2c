#include "support/release/release_builder.hpp"

#include <gtest/gtest.h>

#include "core/release/sha256.hpp"
#include "core/release/verify_release.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::test {
namespace {

TEST(ReleaseBuilder, BuildsAReleaseTheLauncherAccepts) {
  TempDir dir;
  ReleaseSigner signer;
  const std::vector<ReleaseFile> files = {{"ORVO.Host.exe", "h"}, {"lib/a.so", "abc"}};
  ReleaseSettings settings;
  settings.sequence = 4;
  auto release = build_release(signer, dir.path(), files, settings);
  ASSERT_TRUE(release) << release.error().chain_text();

  EXPECT_EQ(read_file(release->envelope_file), release->envelope);
  auto manifest = core::verify_release(bytes_of(release->envelope), signer.release_key(), false);
  ASSERT_TRUE(manifest) << manifest.error().chain_text();
  EXPECT_EQ(manifest->version, "1.0.4");
  EXPECT_EQ(manifest->files,
            (std::vector{manifest_entry("ORVO.Host.exe", "h"), manifest_entry("lib/a.so", "abc")}));
  EXPECT_TRUE(core::same_release(*manifest, release->manifest));
  EXPECT_EQ(manifest->package_sha256, core::sha256_hex(bytes_of(read_file(release->package))));
}

TEST(ReleaseBuilder, SignsAnyPayloadAndManifest) {
  ReleaseSigner signer;
  const core::Manifest manifest = valid_manifest(9);
  auto verified =
      core::verify_release(bytes_of(signer.envelope(manifest)), signer.release_key(), false);
  ASSERT_TRUE(verified) << verified.error().chain_text();
  EXPECT_TRUE(core::same_release(*verified, manifest));

  auto not_json = core::verify_release(bytes_of(signer.envelope("x")), signer.release_key(), false);
  ASSERT_FALSE(not_json);
  EXPECT_EQ(not_json.error().message(), "Invalid release manifest");
}

}  // namespace
}  // namespace orvo::test
