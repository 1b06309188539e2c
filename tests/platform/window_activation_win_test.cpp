// Raising a window found by its class: a minimised one is restored, and no
// window of the class (or only one of a longer or shorter class) is no window
// found.
#include "platform/desktop/window_activation.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32.hpp"

namespace orvo::platform {
namespace {

class WindowActivationWin : public testing::Test {
 protected:
  HWND window_of_class(const wchar_t* class_name, int show) {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = class_name;
    RegisterClassW(&window_class);
    HWND window = CreateWindowExW(0, class_name, L"test", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(window, nullptr);
    ShowWindow(window, show);
    windows_.push_back(window);
    return window;
  }
  void TearDown() override {
    for (HWND window : windows_) DestroyWindow(window);
  }

 private:
  std::vector<HWND> windows_;
};

// Window classes are found across the session, where other tests run at the
// same time: each case has classes of its own.
TEST_F(WindowActivationWin, AMinimisedWindowIsRestored) {
  const HWND target = window_of_class(L"ORVO.Test.Minimised", SW_SHOWMINIMIZED);
  ASSERT_NE(IsIconic(target), FALSE);
  EXPECT_TRUE(restore_and_raise_window("ORVO.Test.Minimised"));
  EXPECT_EQ(IsIconic(target), FALSE);
  EXPECT_NE(IsWindowVisible(target), FALSE);
}

TEST_F(WindowActivationWin, AHiddenWindowOfTheClassIsShown) {
  const HWND target = window_of_class(L"ORVO.Test.Hidden", SW_HIDE);
  EXPECT_TRUE(restore_and_raise_window("ORVO.Test.Hidden"));
  EXPECT_NE(IsWindowVisible(target), FALSE);
}

TEST_F(WindowActivationWin, OnlyTheClassItselfMatches) {
  window_of_class(L"ORVO.Test.Match.Other", SW_SHOWNORMAL);
  window_of_class(L"ORVO.Test", SW_SHOWNORMAL);
  EXPECT_FALSE(restore_and_raise_window("ORVO.Test.Match"));
}

}  // namespace
}  // namespace orvo::platform
