// A private X server (Xvfb) for tests of window code: started on a free
// display, named in DISPLAY for this process and its children while the
// value lives, and stopped afterwards. Tests skip when Xvfb is not installed.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace orvo::test {

// The screen an X server offers: its size, the resolution it reports, and
// the Xft.dpi resource that desktops set (none when empty).
struct ScreenSettings {
  int width = 640;
  int height = 480;
  int dpi = 96;
  std::optional<int> xft_dpi;
};

class XServer {
 public:
  // Fails the test when Xvfb is installed but does not come up.
  explicit XServer(const ScreenSettings& screen = {});
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;
  ~XServer() { stop(); }

  // Ends the server, and with it every connection to it.
  void stop();

  // Replaces the resources that clients read at connection (RESOURCE_MANAGER).
  void set_resources(const std::string& resources);

  // Stops the server's process, so that it reads and answers nothing while
  // its connections stay open, as a server that hangs; thaw lets it go on.
  void freeze();
  void thaw();

  bool running() const { return pid_ > 0; }
  const std::string& display() const { return display_; }

 private:
  int pid_ = -1;
  std::string display_;
  std::optional<std::string> previous_display_;
};

// Whether an Xvfb program is on PATH.
bool xvfb_installed();

// Whether DISPLAY names the window system, so that without it there is none
// (X11); a Windows desktop is always there.
bool display_named_by_environment();

// A test fixture with an X server of its own; skips the test without Xvfb.
class WithXServer : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override { server_.reset(); }
  XServer& server() { return *server_; }

 private:
  std::optional<XServer> server_;
};

}  // namespace orvo::test
