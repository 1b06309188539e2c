#include "support/host/x_server.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

extern char** environ;

namespace orvo::test {
namespace {

std::optional<std::filesystem::path> find_xvfb() {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    const std::filesystem::path candidate = std::filesystem::path(folder) / "Xvfb";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

// Reads Xvfb's display number line, waiting at most 300 s for it: Xvfb
// starts in a second when the machine is idle, and sixteen tests starting
// their own on one busy core have needed over 20 s.
std::string read_display_number(int fd) {
  std::string text;
  for (;;) {
    pollfd readable{.fd = fd, .events = POLLIN, .revents = 0};
    if (::poll(&readable, 1, 300'000) <= 0) return {};
    char buffer[32];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return {};
    text.append(buffer, static_cast<std::size_t>(n));
    if (const auto end = text.find('\n'); end != std::string::npos) return text.substr(0, end);
  }
}

}  // namespace

bool xvfb_installed() { return find_xvfb().has_value(); }

XServer::XServer(const ScreenSettings& screen) {
  const auto xvfb = find_xvfb();
  if (!xvfb) return;
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) {
    ADD_FAILURE() << "pipe: " << std::strerror(errno);
    return;
  }
  // Only the writing end goes to Xvfb.
  ::fcntl(pipe_fds[0], F_SETFD, FD_CLOEXEC);
  // Without -noreset the server starts afresh whenever its last client goes,
  // and refuses connections meanwhile: between two polls there may be none.
  std::vector<std::string> words = {
      xvfb->string(), "-displayfd", std::to_string(pipe_fds[1]), "-nolisten", "tcp", "-noreset",
      "-dpi", std::to_string(screen.dpi), "-screen", "0",
      std::to_string(screen.width) + "x" + std::to_string(screen.height) + "x24"};
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int started = ::posix_spawn(&pid, xvfb->c_str(), nullptr, nullptr, argv.data(), environ);
  ::close(pipe_fds[1]);
  if (started != 0) {
    ::close(pipe_fds[0]);
    ADD_FAILURE() << "cannot start Xvfb: " << std::strerror(started);
    return;
  }
  pid_ = pid;
  const std::string number = read_display_number(pipe_fds[0]);
  ::close(pipe_fds[0]);
  if (number.empty()) {
    ADD_FAILURE() << "Xvfb did not report its display";
    return;
  }
  display_ = ":" + number;
  if (const char* previous = std::getenv("DISPLAY")) previous_display_ = previous;
  ::setenv("DISPLAY", display_.c_str(), 1);
  if (screen.xft_dpi) set_resources("Xft.dpi:\t" + std::to_string(*screen.xft_dpi) + "\n");
}

void XServer::set_resources(const std::string& resources) {
  Display* display = XOpenDisplay(display_.c_str());
  if (display == nullptr) {
    ADD_FAILURE() << "cannot connect to " << display_;
    return;
  }
  XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(resources.data()),
                  static_cast<int>(resources.size()));
  XCloseDisplay(display);
}

void XServer::freeze() {
  if (pid_ > 0) ::kill(pid_, SIGSTOP);
}

void XServer::thaw() {
  if (pid_ > 0) ::kill(pid_, SIGCONT);
}

void XServer::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  // A frozen server would keep the signal pending for ever.
  ::kill(pid_, SIGCONT);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  if (display_.empty()) return;
  if (previous_display_) {
    ::setenv("DISPLAY", previous_display_->c_str(), 1);
  } else {
    ::unsetenv("DISPLAY");
  }
}

bool display_named_by_environment() { return true; }

void WithXServer::SetUp() {
  if (!xvfb_installed()) GTEST_SKIP() << "Xvfb is not installed (scripts/install-deps adds it)";
  server_.emplace();
  ASSERT_TRUE(server_->running() && !server_->display().empty()) << "no X server came up";
}

}  // namespace orvo::test
