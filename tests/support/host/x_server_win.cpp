// On Windows the desktop is always there: the X server fixture stands for it
// and starts nothing. (Under Wine the lane's session provides the display.)
#include "support/host/x_server.hpp"

namespace orvo::test {

XServer::XServer() = default;

void XServer::stop() {}

bool xvfb_installed() { return false; }

bool display_named_by_environment() { return false; }

void WithXServer::SetUp() { server_.emplace(); }

}  // namespace orvo::test
