// On Windows the desktop is always there: the X server fixture stands for it
// and starts nothing. (Under Wine the lane's session provides the display.)
#include "support/host/x_server.hpp"

namespace orvo::test {

XServer::XServer(const ScreenSettings& /*screen*/) {}

void XServer::stop() {}

// A desktop cannot be stopped: a test that freezes the server runs with what
// its host does by itself.
void XServer::freeze() {}
void XServer::thaw() {}

// The desktop's resources are the system's; a test that sets them is an X11 one.
void XServer::set_resources(const std::string& /*resources*/) {}

bool xvfb_installed() { return false; }

bool display_named_by_environment() { return false; }

void WithXServer::SetUp() { server_.emplace(); }

}  // namespace orvo::test
