// verify_release on a manifest of 10,000 files, the most a release may list:
// envelope reading, Base64, signature, manifest reading and every rule.
#include "core/release/verify_release.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "support/release/release_builder.hpp"

int main() {
  using namespace orvo;
  std::vector<core::ManifestFile> files;
  for (int i = 1; i < 10000; ++i) {
    files.push_back(test::manifest_entry(
        "data/group" + std::to_string(i % 100) + "/resource-" + std::to_string(i) + ".bin",
        std::to_string(i)));
  }
  files.push_back(test::manifest_entry("ORVO.Host.exe", "host"));
  const test::ReleaseSigner signer;
  const std::string envelope = signer.envelope(test::valid_manifest(std::move(files), 1));

  constexpr int kRuns = 30;
  std::vector<double> millis;
  for (int run = 0; run < kRuns; ++run) {
    const auto start = std::chrono::steady_clock::now();
    auto manifest = core::verify_release(test::bytes_of(envelope), signer.release_key(), false);
    const auto end = std::chrono::steady_clock::now();
    if (!manifest || manifest->files.size() != 10000) {
      std::fprintf(stderr, "verification failed: %s\n",
                   manifest ? "wrong file count" : manifest.error().chain_text().c_str());
      return 1;
    }
    millis.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  std::ranges::sort(millis);
  std::printf(
      "verify_release, 10,000 files, %zu-byte envelope, %d runs: median %.2f ms, best %.2f ms, "
      "worst %.2f ms\n",
      envelope.size(), kRuns, millis[kRuns / 2], millis.front(), millis.back());
  return 0;
}
