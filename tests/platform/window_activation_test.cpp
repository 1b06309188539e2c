// Raising a window found by its class: a minimised (unmapped) one is shown
// again, a covered one comes to the top, and no window of the class is no
// window found.
#include "platform/desktop/window_activation.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/host/x_server.hpp"
#include "support/host/x_windows.hpp"

// After GoogleTest, whose names Xlib's macros (None, for one) would clash with.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace orvo::platform {
namespace {

class WindowActivation : public test::WithXServer {
 protected:
  void SetUp() override {
    test::WithXServer::SetUp();
    display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
  }
  void TearDown() override {
    if (display != nullptr) XCloseDisplay(display);
    test::WithXServer::TearDown();
  }
  Window window_of_class(const char* window_class, bool mapped) {
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 100, 50, 0, 0, 0);
    std::string name = "test";
    std::string class_name = window_class;
    XClassHint hint{name.data(), class_name.data()};
    XSetClassHint(display, window, &hint);
    if (mapped) XMapWindow(display, window);
    XSync(display, False);
    return window;
  }

  Display* display = nullptr;
};

TEST_F(WindowActivation, AMinimisedWindowIsShownAgainOnTop) {
  test::XWindows windows;
  const Window target = window_of_class("ORVO.Test.Window", false);
  const test::XWindow cover = windows.cover();
  EXPECT_TRUE(restore_and_raise_window("ORVO.Test.Window"));
  EXPECT_TRUE(windows.viewable(target));
  EXPECT_LT(windows.stacking_place(target), windows.stacking_place(cover));
}

TEST_F(WindowActivation, ACoveredWindowComesToTheTopAndGetsTheFocus) {
  test::XWindows windows;
  const Window target = window_of_class("ORVO.Test.Window", true);
  const test::XWindow cover = windows.cover();
  EXPECT_TRUE(restore_and_raise_window("ORVO.Test.Window"));
  EXPECT_LT(windows.stacking_place(target), windows.stacking_place(cover));
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display, &focus, &revert);
  EXPECT_EQ(focus, target);
}

TEST_F(WindowActivation, OnlyTheClassItselfMatches) {
  window_of_class("ORVO.Test.Window.Other", true);
  window_of_class("ORVO.Test", true);
  EXPECT_FALSE(restore_and_raise_window("ORVO.Test.Window"));
}

TEST(WindowActivationWithoutDisplay, FindsNothing) {
  if (!test::xvfb_installed()) GTEST_SKIP() << "Xvfb is not installed";
  test::XServer server;
  server.stop();
  EXPECT_FALSE(restore_and_raise_window("ORVO.Test.Window"));
}

}  // namespace
}  // namespace orvo::platform
