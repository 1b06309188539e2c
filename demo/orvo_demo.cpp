// Runs the launcher's main job as a user would meet it: a signed release of
// the test host is published on a TLS server on 127.0.0.1, and two
// preparation attempts run against it in a temporary per-user folder. The
// first downloads, checks, installs and starts the host; the second finds
// the installed copy intact and starts it without a download. Exits 0 only
// when both attempts launched.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/cancel_flag.hpp"
#include "core/attempt/preparation_attempt.hpp"
#include "core/attempt/preparation_settings.hpp"
#include "core/cache/cache_root.hpp"
#include "core/context/worker_message.hpp"
#include "core/release/sha256.hpp"
#include "platform/process_control.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/host/test_host.hpp"
#include "support/host/x_server.hpp"
#include "support/net/download_fixture.hpp"
#include "support/net/tls_server.hpp"
#include "support/release/release_builder.hpp"
#include "support/suite/preparation_fixture.hpp"

namespace {

namespace fs = std::filesystem;
using namespace orvo;

constexpr std::string_view kPackageTarget = "/downloads/host/win-x64/host.zip";

// Ends a started host and waits for it, so that none outlives the demo.
void end_host(const platform::Process& host) {
  if (auto ended = platform::end_process(host, 1); !ended) {
    std::printf("    could not end the host: %s\n", ended.error().chain_text().c_str());
  } else if (auto waited = platform::wait_for_exit(host); !waited) {
    std::printf("    could not wait for the host: %s\n", waited.error().chain_text().c_str());
  }
}

// One attempt on a thread of its own, as the launcher window runs it; its
// messages are printed here as they arrive. True when it launched the host.
bool run_attempt(const core::PreparationSettings& settings, const fs::path& log_path) {
  auto [sender, receiver] = core::make_channel<core::WorkerMessage>();
  std::jthread worker([sender = std::move(sender), &log_path, &settings]() mutable {
    core::run_preparation(std::move(sender), log_path, core::CancelFlag{}, settings);
  });
  bool launched = false;
  for (;;) {
    auto message =
        receiver.receive_until(std::chrono::steady_clock::now() + std::chrono::seconds(1));
    if (!message) {
      if (message.error() == core::ReceiveError::Closed) break;
      continue;
    }
    std::printf("    %s\n", test::describe(*message).c_str());
    std::fflush(stdout);
    if (const auto* started = std::get_if<core::Launched>(&*message)) {
      launched = true;
      std::printf("    (host process %u; ending it)\n", platform::process_id(started->host));
      end_host(started->host);
    }
  }
  return launched;
}

void print_log(const fs::path& log_path) {
  std::printf("Launcher log (%s):\n", log_path.c_str());
  std::ifstream log(log_path);
  for (std::string line; std::getline(log, line);) std::printf("    %s\n", line.c_str());
}

int run_demo() {
  // The release server is on loopback; a proxy from the machine's environment would not reach it.
  test::ProxyVariables no_proxies;
  test::TempDir work;
  test::TempDir local_app_data;
  test::ScopedVariable cache_location("LOCALAPPDATA", local_app_data.path().string());

  std::optional<test::XServer> x_server;
  if (const char* display = std::getenv("DISPLAY"); display == nullptr || *display == '\0') {
    if (!test::xvfb_installed()) {
      std::printf("DISPLAY is not set and Xvfb is not installed (scripts/install-deps adds it)\n");
      return 1;
    }
    x_server.emplace();
    if (!x_server->running() || x_server->display().empty()) {
      std::printf("Xvfb did not come up\n");
      return 1;
    }
    std::printf("Started Xvfb on display %s for the host's window\n", x_server->display().c_str());
  }

  test::TlsServer server;
  const test::ReleaseSigner signer;
  const std::vector<test::ReleaseFile> files = {{"ORVO.Host.exe", test::test_host_bytes()}};
  const auto release = test::build_release(signer, work.path(), files,
                                           {.sequence = 1,
                                            .version = "1.0.0",
                                            .package_url = server.url(kPackageTarget),
                                            .allow_loopback_http = false});
  if (!release) {
    std::printf("Cannot build the release: %s\n", release.error().chain_text().c_str());
    return 1;
  }
  server.on(std::string(core::kManifestPath), test::Answer::body(release->envelope));
  server.on(std::string(kPackageTarget), test::Answer::body(test::read_file(release->package)));

  core::PreparationSettings settings;
  settings.manifest_url = server.url(core::kManifestPath);
  settings.release_key_text = core::lower_hex(signer.release_key());
  settings.client.roots_pem = server.ca_pem();

  const auto cache_root = core::launcher_cache_root();
  if (!cache_root) {
    std::printf("No cache root: %s\n", cache_root.error().chain_text().c_str());
    return 1;
  }
  const fs::path log_path = *cache_root / "launcher.log";

  std::printf("Release 1.0.0 (sequence 1) signed with key %s\n", settings.release_key_text.c_str());
  std::printf("Manifest at %s\n", settings.manifest_url.c_str());
  std::printf("Cache root %s\n\n", cache_root->c_str());

  std::printf("First attempt: a fresh cache\n");
  const bool first = run_attempt(settings, log_path);
  std::printf("\nSecond attempt: the installed copy\n");
  const bool second = run_attempt(settings, log_path);
  std::printf("\n");
  print_log(log_path);

  // Download threads end by themselves shortly after their body; the process waits for them.
  test::no_download_threads_left();

  const bool both = first && second;
  std::printf("\n%s\n", both ? "Demo succeeded: both attempts launched the host"
                             : "Demo failed: an attempt did not launch the host");
  return both ? 0 : 1;
}

}  // namespace

int main() { return run_demo(); }
