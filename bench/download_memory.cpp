// Memory of a 1 GiB download over loopback TLS to a reader slowed to about
// 20 MB/s: the peak resident size of the process above its size just before
// the download (goal: at most 24 MiB), next to the peak resident size of
// `curl -s -o -` feeding the same slow reader through a pipe.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "core/net/download_body.hpp"
#include "core/net/download_client.hpp"
#include "support/net/generated_body_server.hpp"

namespace {

using namespace orvo;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kBodySize = 1024ull * 1024 * 1024;
constexpr double kReaderBytesPerSecond = 20e6;
constexpr double kGoalMiB = 24;
constexpr double kMiB = 1024.0 * 1024.0;

// The resident size of this process in bytes.
std::uint64_t resident_bytes() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t size = 0;
  std::uint64_t resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
}

// Keeps the highest resident size seen while it lives.
class PeakSampler {
 public:
  PeakSampler() : thread_([this] { sample(); }) {}
  PeakSampler(const PeakSampler&) = delete;
  PeakSampler& operator=(const PeakSampler&) = delete;
  ~PeakSampler() { stop(); }

  std::uint64_t stop() {
    running_ = false;
    if (thread_.joinable()) thread_.join();
    return peak_;
  }

 private:
  void sample() {
    while (running_) {
      peak_ = std::max<std::uint64_t>(peak_, resident_bytes());
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  std::atomic<bool> running_ = true;
  std::atomic<std::uint64_t> peak_ = 0;
  std::thread thread_;
};

// Takes the bytes no faster than the reader's rate allows since start.
class SlowReader {
 public:
  void took(std::size_t count) {
    total_ += count;
    std::this_thread::sleep_until(start_ + std::chrono::duration_cast<Clock::duration>(
                                               std::chrono::duration<double>(total_ / kReaderBytesPerSecond)));
  }
  std::uint64_t total() const { return total_; }
  double seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

 private:
  Clock::time_point start_ = Clock::now();
  std::uint64_t total_ = 0;
};

struct Figures {
  std::uint64_t peak = 0;  // bytes
  double seconds = 0;
};

// The launcher's client; the peak is above the size before the download. False on failure.
bool launcher_round(const test::GeneratedBodyServer& big, Figures& figures) {
  auto client = core::build_download_client({.roots_pem = big.server().ca_pem()});
  if (!client) {
    std::fprintf(stderr, "client: %s\n", client.error().chain_text().c_str());
    return false;
  }
  std::array<std::byte, core::kDownloadBufferSize> buffer;
  const std::uint64_t before = resident_bytes();
  PeakSampler sampler;
  SlowReader reader;
  auto body = core::start_download(*client, big.url(), 300, core::CancelFlag());
  if (!body) {
    std::fprintf(stderr, "start_download: %s\n", body.error().chain_text().c_str());
    return false;
  }
  for (;;) {
    auto got = core::read_download_body(*body, buffer);
    if (!got) {
      std::fprintf(stderr, "read_download_body: %s\n", got.error().chain_text().c_str());
      return false;
    }
    if (*got == 0) break;
    reader.took(*got);
  }
  figures.seconds = reader.seconds();
  const std::uint64_t peak = sampler.stop();
  figures.peak = peak > before ? peak - before : 0;
  return reader.total() == kBodySize;
}

// The curl tool writing into a pipe that the same slow reader drains; its
// peak is the child's whole resident size. False on failure.
bool curl_round(const test::GeneratedBodyServer& big, Figures& figures) {
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) return false;
  const std::string ca = big.ca_file().string();
  const std::string url = big.url();
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::dup2(pipe_ends[1], STDOUT_FILENO);
    ::close(pipe_ends[0]);
    ::close(pipe_ends[1]);
    ::execlp("curl", "curl", "-s", "-o", "-", "--http1.1", "--noproxy", "*", "--cacert", ca.c_str(),
             url.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(pipe_ends[1]);
  SlowReader reader;
  std::array<char, core::kDownloadBufferSize> buffer;
  for (;;) {
    const ssize_t got = ::read(pipe_ends[0], buffer.data(), buffer.size());
    if (got <= 0) break;
    reader.took(static_cast<std::size_t>(got));
  }
  ::close(pipe_ends[0]);
  figures.seconds = reader.seconds();
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) != child) return false;
  figures.peak = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && reader.total() == kBodySize;
}

}  // namespace

int main() {
  const test::GeneratedBodyServer big(kBodySize);
  Figures launcher;
  Figures curl;
  if (!launcher_round(big, launcher) || !curl_round(big, curl)) {
    std::fprintf(stderr, "a download failed\n");
    return 1;
  }
  const double size_mib = static_cast<double>(kBodySize) / kMiB;
  std::printf("download of %.0f MiB over loopback TLS to a reader of %.0f MB/s\n", size_mib,
              kReaderBytesPerSecond / 1e6);
  std::printf("  start_download/read_download_body: peak %6.1f MiB above the size before  (%.1f s)\n",
              static_cast<double>(launcher.peak) / kMiB, launcher.seconds);
  std::printf("  curl -s -o - into a pipe:          peak %6.1f MiB resident in all       (%.1f s)\n",
              static_cast<double>(curl.peak) / kMiB, curl.seconds);
  std::printf("  goal: at most %.0f MiB above the size before: %s\n", kGoalMiB,
              static_cast<double>(launcher.peak) / kMiB <= kGoalMiB ? "met" : "missed");
  return 0;
}
