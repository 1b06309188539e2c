// The last stage of a preparation attempt: starting ORVO Host from a version
// folder, waiting for its responsive main window, and falling back to the
// next working version when a start fails.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "base/cancel_flag.hpp"
#include "base/error.hpp"
#include "core/cache/versions_cache.hpp"
#include "core/context/preparation_context.hpp"
#include "core/context/worker_message.hpp"
#include "platform/process.hpp"

namespace orvo::launch {

inline constexpr std::string_view kOpeningText = "Opening ORVO Support\u2026";
inline constexpr std::string_view kOpeningPreviousText =
    "Opening your previous working version\u2026";
inline constexpr std::uint32_t kEndedHostExitCode = 1;

// How long the wait for the host's window lasts.
struct HostWaitLimits {
  // A window that answers earlier is tested again until this much has passed.
  std::chrono::milliseconds earliest_success{2000};
  // Once more than this has passed without success, the host is ended.
  std::chrono::milliseconds limit{30000};
  // The monotonic clock that both are measured on.
  std::function<std::chrono::steady_clock::time_point()> clock = std::chrono::steady_clock::now;
};

// Starts candidates, the first one and then the working versions that the
// versions cache offers, until one opens: then the version is marked working,
// logged, and Launched is sent. The error is the attempt's final error.
core::Result<void> open_host(const core::PreparationContext& context, core::LaunchCandidate first,
                             core::WorkerSender& sender, const std::filesystem::path& log_path,
                             const core::CancelFlag& cancel);
core::Result<void> open_host(const core::PreparationContext& context, core::LaunchCandidate first,
                             core::WorkerSender& sender, const std::filesystem::path& log_path,
                             const core::CancelFlag& cancel, const HostWaitLimits& limits);

// Starts the candidate's host and waits until its window answers; a host that
// times out or whose wait is cancelled is ended with kEndedHostExitCode and
// awaited.
core::Result<platform::Process> start_host(const core::LaunchCandidate& candidate,
                                           const core::CancelFlag& cancel);
core::Result<platform::Process> start_host(const core::LaunchCandidate& candidate,
                                           const core::CancelFlag& cancel,
                                           const HostWaitLimits& limits);

// "exit code: " and the code, in decimal, or with bit 31 set as "0x" and
// lower-case hexadecimal digits.
std::string exit_status_text(std::uint32_t exit_code);

}  // namespace orvo::launch
