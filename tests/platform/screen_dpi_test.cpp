// The screen's DPI as the launcher reads it: Xft.dpi first, else the screen's resolution.
#include "platform/desktop/screen_dpi.hpp"

#include <gtest/gtest.h>

#include "support/fs/scoped_variable.hpp"
#include "support/host/x_server.hpp"

namespace orvo::platform {
namespace {

TEST(ScreenDpi, TheXftResourceWinsOverTheResolution) {
  if (!test::xvfb_installed()) GTEST_SKIP() << "Xvfb is not installed";
  test::XServer server({.width = 1280, .height = 1024, .dpi = 96, .xft_dpi = 144});
  ASSERT_TRUE(server.running());
  EXPECT_EQ(screen_dpi(), 144);
  // Desktops may write a fraction; its whole part counts.
  server.set_resources("Xft.antialias:\t1\nXft.dpi:\t120.75\n");
  EXPECT_EQ(screen_dpi(), 120);
  // Text that is no number counts as no resource.
  server.set_resources("Xft.dpi:\thigh\n");
  EXPECT_EQ(screen_dpi(), 96);
}

TEST(ScreenDpi, WithoutTheResourceTheScreensResolutionCounts) {
  if (!test::xvfb_installed()) GTEST_SKIP() << "Xvfb is not installed";
  test::XServer server({.width = 1280, .height = 1024, .dpi = 120, .xft_dpi = std::nullopt});
  ASSERT_TRUE(server.running());
  EXPECT_EQ(screen_dpi(), 120);
}

TEST(ScreenDpi, WithoutADisplayItIs96) {
  test::ScopedVariable no_display("DISPLAY", std::nullopt);
  EXPECT_EQ(screen_dpi(), 96);
}

}  // namespace
}  // namespace orvo::platform
