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
        PlantedCase{"core/url/url.cpp", "attempt/release_update.hpp",
                    {"core/url/url.cpp: includes attempt/release_update.hpp"}},
        PlantedCase{"core/cache/versions_cache.cpp", "launch/host_start.hpp",
                    {"core/cache/versions_cache.cpp: includes launch/host_start.hpp"}},
        PlantedCase{"platform/fs.hpp", "core/release/manifest.hpp",
                    {"platform/fs.hpp: includes core/release/manifest.hpp"}},
        PlantedCase{"platform/fs_linux.cpp", "platform/host/host_window.hpp",
                    {"platform/fs_linux.cpp: includes platform/host/host_window.hpp"}},
        // The core links the base services only, not the host part.
        PlantedCase{"core/net/download_worker.cpp", "platform/host/process_control.hpp",
                    {"core/net/download_worker.cpp: includes platform/host/process_control.hpp"}},
        PlantedCase{"attempt/release_update.cpp", "platform/desktop/message_box.hpp",
                    {"attempt/release_update.cpp: includes platform/desktop/message_box.hpp"}},
        PlantedCase{"platform/host/host_window_x11.cpp", "platform/desktop/screen_dpi.hpp",
                    {"platform/host/host_window_x11.cpp: includes platform/desktop/screen_dpi.hpp"}},
        PlantedCase{"platform/desktop/message_box_gtk.cpp", "core/text/utf8_repair.hpp",
                    {"platform/desktop/message_box_gtk.cpp: includes core/text/utf8_repair.hpp"}},
        PlantedCase{"base/error.cpp", "platform/os_error.hpp",
                    {"base/error.cpp: includes platform/os_error.hpp"}},
        PlantedCase{"launch/host_start.cpp", "ui/launcher_window.hpp",
                    {"launch/host_start.cpp: includes ui/launcher_window.hpp"}},
        PlantedCase{"core/url/url.cpp", "tools/anything.hpp",
                    {"core/url/url.cpp: includes tools/anything.hpp (no layer)"}},
        PlantedCase{"elsewhere/x.cpp", "base/error.hpp", {"elsewhere/x.cpp (no layer)"}},
        // A folder's layer is its own: a name that only begins like a
        // layer's folder is not inside it.
        PlantedCase{"platform/hostile.cpp", "core/url/url.hpp",
                    {"platform/hostile.cpp: includes core/url/url.hpp"}},
        PlantedCase{"attempts/x.cpp", "base/error.hpp", {"attempts/x.cpp (no layer)"}},
        // Downwards and sideways are allowed.
        PlantedCase{"attempt/release_update.cpp", "launch/host_start.hpp", {}},
        PlantedCase{"attempt/configuration.cpp", "orvo/build_settings.hpp", {}},
        PlantedCase{"launch/host_start.cpp", "platform/host/process_control.hpp", {}},
        PlantedCase{"platform/desktop/window_activation_x11.cpp", "platform/host/host_window.hpp",
                    {}},
        PlantedCase{"platform/host/process_control_linux.cpp", "platform/os_error.hpp", {}},
        PlantedCase{"ui/start_checks.cpp", "platform/desktop/message_box.hpp", {}},
        PlantedCase{"ui/attempt_thread.cpp", "attempt/preparation_attempt.hpp", {}},
        PlantedCase{"core/net/download_body.cpp", "core/release/sha256.hpp", {}},
        PlantedCase{"ui/launcher_window.cpp", "base/error.hpp", {}}));

}  // namespace
}  // namespace orvo::test
