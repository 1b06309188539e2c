// Throughput of a 256 MiB download over loopback TLS: start_download and
// read_download_body against `curl -s -o /dev/null`, same server, same CA.
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <string>

#include "core/net/download_body.hpp"
#include "core/net/download_client.hpp"
#include "support/net/generated_body_server.hpp"

namespace {

using namespace orvo;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kBodySize = 256ull * 1024 * 1024;
constexpr int kRounds = 9;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Seconds for one download through the launcher's client; negative on failure.
double launcher_round(const test::GeneratedBodyServer& big) {
  auto client = core::build_download_client({.roots_pem = big.server().ca_pem()});
  if (!client) {
    std::fprintf(stderr, "client: %s\n", client.error().chain_text().c_str());
    return -1;
  }
  const Clock::time_point start = Clock::now();
  auto body = core::start_download(*client, big.url(), 300, core::CancelFlag());
  if (!body) {
    std::fprintf(stderr, "start_download: %s\n", body.error().chain_text().c_str());
    return -1;
  }
  std::array<std::byte, core::kDownloadBufferSize> buffer;
  std::uint64_t total = 0;
  for (;;) {
    auto got = core::read_download_body(*body, buffer);
    if (!got) {
      std::fprintf(stderr, "read_download_body: %s\n", got.error().chain_text().c_str());
      return -1;
    }
    if (*got == 0) break;
    total += *got;

  }
  const double elapsed = seconds_since(start);
  return total == kBodySize ? elapsed : -1;
}

// Seconds for one download with the curl tool; negative on failure.
double curl_round(const test::GeneratedBodyServer& big) {
  const std::string command = "curl -s -o /dev/null --http1.1 --noproxy '*' --cacert '" +
                              big.ca_file().string() + "' -w '%{size_download}' '" + big.url() +
                              "'";
  const Clock::time_point start = Clock::now();
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  char output[64] = {};
  const std::size_t length = std::fread(output, 1, sizeof output - 1, pipe);
  const int status = ::pclose(pipe);
  const double elapsed = seconds_since(start);
  if (status != 0 || std::stoull(std::string(output, length)) != kBodySize) return -1;
  return elapsed;
}

}  // namespace

int main() {
  const test::GeneratedBodyServer big(kBodySize);

  double best_launcher = 0;
  double best_curl = 0;
  for (int round = 0; round < kRounds; ++round) {
    const double launcher = launcher_round(big);
    const double curl = curl_round(big);
    if (launcher < 0 || curl < 0) {
      std::fprintf(stderr, "round %d failed\n", round);
      return 1;
    }
    if (round == 0 || launcher < best_launcher) best_launcher = launcher;
    if (round == 0 || curl < best_curl) best_curl = curl;
  }
  const double mib = static_cast<double>(kBodySize) / (1024.0 * 1024.0);
  std::printf("download of %.0f MiB over loopback TLS, best of %d rounds\n", mib, kRounds);
  std::printf("  start_download/read_download_body: %7.3f s  %8.1f MiB/s\n", best_launcher,
              mib / best_launcher);
  std::printf("  curl -s -o /dev/null:              %7.3f s  %8.1f MiB/s\n", best_curl,
              mib / best_curl);
  std::printf("  throughput ratio (launcher / curl): %.3f (goal: at least 0.95)\n",
              best_curl / best_launcher);
  return 0;
}
