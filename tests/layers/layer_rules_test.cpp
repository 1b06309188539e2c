#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "layers/layer_rules.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::test {
namespace {

namespace fs = std::filesystem;

TEST(Layers, NoSourceIncludesAHeaderOfAHigherLayer) {
  EXPECT_EQ(layer_breaches(ORVO_SOURCE_DIR), std::vector<std::string>{});
}

struct PlantedCase {
  std::string file;
  std::string include;
  std::vector<std::string> breaches;
};

class PlantedInclude : public testing::TestWithParam<PlantedCase> {};

// The rule is only worth its test if it catches a breach: plant one include
// in a small tree and read the verdict.
TEST_P(PlantedInclude, IsJudgedByTheLayersOfBothSides) {
  const PlantedCase& c = GetParam();
  TempDir src;
  fs::create_directories((src / c.file).parent_path());
  write_file(src / c.file, "#pragma once\n#include <vector>\n#include \"" + c.include + "\"\n");
  EXPECT_EQ(layer_breaches(src.path()), c.breaches);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlantedInclude,
    testing::Values(
        PlantedCase{"core/url/url.cpp", "core/attempt/release_update.hpp",
                    {"core/url/url.cpp: includes core/attempt/release_update.hpp"}},
        PlantedCase{"core/cache/versions_cache.cpp", "launch/host_start.hpp",
                    {"core/cache/versions_cache.cpp: includes launch/host_start.hpp"}},
        PlantedCase{"platform/fs.hpp", "core/release/manifest.hpp",
                    {"platform/fs.hpp: includes core/release/manifest.hpp"}},
        PlantedCase{"platform/fs_linux.cpp", "platform/host_window.hpp",
                    {"platform/fs_linux.cpp: includes platform/host_window.hpp"}},
        PlantedCase{"base/error.cpp", "platform/os_error.hpp",
                    {"base/error.cpp: includes platform/os_error.hpp"}},
        PlantedCase{"launch/host_start.cpp", "ui/launcher_window.hpp",
                    {"launch/host_start.cpp: includes ui/launcher_window.hpp"}},
        PlantedCase{"core/url/url.cpp", "tools/anything.hpp",
                    {"core/url/url.cpp: includes tools/anything.hpp (no layer)"}},
        PlantedCase{"elsewhere/x.cpp", "base/error.hpp", {"elsewhere/x.cpp (no layer)"}},
        // Downwards and sideways are allowed.
        PlantedCase{"core/attempt/release_update.cpp", "launch/host_start.hpp", {}},
        PlantedCase{"launch/host_start.cpp", "platform/process_control.hpp", {}},
        PlantedCase{"core/net/download_body.cpp", "core/release/sha256.hpp", {}},
        PlantedCase{"ui/launcher_window.cpp", "base/error.hpp", {}}));

}  // namespace
}  // namespace orvo::test
