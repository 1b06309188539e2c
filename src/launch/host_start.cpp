#include "launch/host_start.hpp"

#include <charconv>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "core/cache/launcher_log.hpp"
#include "core/context/post_progress.hpp"
#include "launch/host_window_search.hpp"
#include "platform/host/host_window.hpp"
#include "platform/host/process_control.hpp"

namespace orvo::launch {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kPollPause{100};
constexpr milliseconds kInputIdleWait{100};
constexpr milliseconds kAnswerTimeout{200};

// The results do not matter: the host is given up either way.
void end_and_wait(const platform::Process& host) {
  (void)platform::end_process(host, kEndedHostExitCode);
  (void)platform::wait_for_exit(host);
}

// One poll's window search and readiness tests, in their order; each test is
// made only when the one before passed.
bool window_ready(const platform::Process& host) {
  const platform::WindowSystem windows;
  HostWindowSearch search{.window = platform::kNoWindow, .process_id = platform::process_id(host)};
  windows.enumerate_windows(match_host_window, reinterpret_cast<std::intptr_t>(&search));
  return search.window != platform::kNoWindow && windows.wait_input_idle(host, kInputIdleWait) &&
         windows.answers(search.window, kAnswerTimeout);
}

}  // namespace

std::string exit_status_text(std::uint32_t exit_code) {
  const bool hexadecimal = (exit_code & 0x8000'0000U) != 0;
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, exit_code, hexadecimal ? 16 : 10);
  return std::string(hexadecimal ? "exit code: 0x" : "exit code: ") + std::string(digits, end.ptr);
}

core::Result<platform::Process> start_host(const core::LaunchCandidate& candidate,
                                           const core::CancelFlag& cancel) {
  return start_host(candidate, cancel, HostWaitLimits{});
}

core::Result<platform::Process> start_host(const core::LaunchCandidate& candidate,
                                           const core::CancelFlag& cancel,
                                           const HostWaitLimits& limits) {
  auto started = platform::start_process(candidate.host_exe, candidate.folder);
  if (!started) {
    return core::fail(core::Error("Starting the verified ORVO Host", std::move(started.error())));
  }
  platform::Process host = std::move(*started);

  const auto start = limits.clock();
  const auto elapsed = [start, &limits] {
    const auto now = limits.clock();
    return now > start ? now - start : std::chrono::steady_clock::duration::zero();
  };

  while (!cancel.is_set()) {
    auto exited = platform::exit_code_if_ended(host);
    if (!exited) return core::fail(std::move(exited.error()));
    if (*exited) {
      return core::fail("ORVO Host exited before opening its window (" +
                        exit_status_text(**exited) + ")");
    }
    if (window_ready(host) && elapsed() >= limits.earliest_success) return host;
    if (elapsed() > limits.limit) {
      end_and_wait(host);
      return core::fail("ORVO Host did not open a responsive window within 30 seconds");
    }
    std::this_thread::sleep_for(kPollPause);
  }
  end_and_wait(host);
  return core::fail(core::cancelled_error());
}

core::Result<void> open_host(const core::PreparationContext& context, core::LaunchCandidate first,
                             core::WorkerSender& sender, const std::filesystem::path& log_path,
                             const core::CancelFlag& cancel) {
  return open_host(context, std::move(first), sender, log_path, cancel, HostWaitLimits{});
}

core::Result<void> open_host(const core::PreparationContext& context, core::LaunchCandidate first,
                             core::WorkerSender& sender, const std::filesystem::path& log_path,
                             const core::CancelFlag& cancel, const HostWaitLimits& limits) {
  // The folders whose start failed, in that order; a folder is started at most once.
  std::vector<std::filesystem::path> excluded;
  core::LaunchCandidate candidate = std::move(first);
  for (;;) {
    core::post_progress(sender, std::string(excluded.empty() ? kOpeningText : kOpeningPreviousText),
                        core::ProgressMode::Determinate, 100);

    auto started = start_host(candidate, cancel, limits);
    if (started) {
      // The host is up either way; a version that cannot be marked stays unmarked.
      if (auto confirmed = core::confirm_working_version(context, candidate); !confirmed) {
        core::write_log_line(log_path, "Host opened, but cache could not be marked working: " +
                                           confirmed.error().chain_text());
      }
      core::write_log_line(log_path, "Opened Host " + candidate.version + " (cached: " +
                                         (candidate.cached ? "true" : "false") + ")");
      sender.send(core::Launched{.host = std::move(*started)});
      return {};
    }

    if (cancel.is_set()) return core::fail(std::move(started.error()));
    core::Error last_start_error = std::move(started.error());
    core::write_log_line(log_path, "Host " + candidate.version +
                                       " startup failed: " + last_start_error.chain_text());
    excluded.push_back(std::move(candidate.folder));

    auto next = core::find_fallback_version(context, excluded, cancel);
    if (!next) {
      return core::fail(core::Error("Could not open Host (" + last_start_error.chain_text() +
                                        "); no other working version is available",
                                    std::move(next.error())));
    }
    candidate = std::move(*next);
  }
}

}  // namespace orvo::launch
