// verify_installed_files on a release of 2,000 files totalling 512 MiB, with a
// warm page cache, against `openssl dgst -sha256` hashing the same files in one
// process. The figure that matters is the ratio of the two times (goal: at most 1.10).
#include "core/cache/installed_files.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/release/sha256.hpp"
#include "platform/fs.hpp"
#include "support/fs/temp_dir.hpp"

namespace {

using namespace orvo;
namespace fs = std::filesystem;

constexpr std::size_t kFiles = 2000;
constexpr std::uint64_t kTotalBytes = 512ULL * 1024 * 1024;
constexpr std::size_t kFilesPerFolder = 100;
constexpr int kRuns = 7;

// Sizes spread around the mean (half to one and a half of it), summing to the total.
std::vector<std::uint64_t> file_sizes() {
  const std::uint64_t mean = kTotalBytes / kFiles;
  std::vector<std::uint64_t> sizes(kFiles);
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < kFiles; ++i) {
    const std::uint64_t offset = mean * (i % 101) / 100;  // 0 .. mean
    sizes[i] = i % 2 == 0 ? mean / 2 + offset : mean + mean / 2 - offset;
    sum += sizes[i];
  }
  sizes.back() += kTotalBytes - sum;
  return sizes;
}

bool write_release(const fs::path& folder, std::vector<core::ManifestFile>& files) {
  std::mt19937_64 random(42);
  std::vector<std::byte> content;
  const auto sizes = file_sizes();
  for (std::size_t i = 0; i < kFiles; ++i) {
    const std::string group = "group" + std::to_string(i / kFilesPerFolder);
    const std::string path = "data/" + group + "/file" + std::to_string(i) + ".bin";
    content.resize(sizes[i]);
    for (std::byte& b : content) b = static_cast<std::byte>(random());
    if (!platform::create_folders(folder / "data" / group)) return false;
    auto file = platform::File::create_new(folder / path);
    if (!file || !file->write_all(content) || !file->close()) return false;
    files.push_back({path, sizes[i], core::sha256_hex(content)});
  }
  return true;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::ranges::sort(values);
  return values[values.size() / 2];
}

}  // namespace

int main() {
  test::TempDir dir;
  const fs::path folder = dir / "release";
  std::vector<core::ManifestFile> files;
  if (!platform::create_folders(folder) || !write_release(folder, files)) {
    std::fprintf(stderr, "cannot write the release below %s\n", dir.path().c_str());
    return 1;
  }
  // Relative paths keep the argument list short enough for a single openssl process.
  const std::string openssl = "cd '" + folder.string() +
                              "' && find . -type f -print0 | xargs -0 openssl dgst -sha256 "
                              "> /dev/null";

  std::vector<double> ours;
  std::vector<double> theirs;
  // The first round only warms the page cache.
  for (int run = 0; run <= kRuns; ++run) {
    auto start = std::chrono::steady_clock::now();
    auto verified = core::verify_installed_files(folder, files, core::CancelFlag());
    const double verify_seconds = seconds_since(start);
    if (!verified) {
      std::fprintf(stderr, "verification failed: %s\n", verified.error().chain_text().c_str());
      return 1;
    }
    start = std::chrono::steady_clock::now();
    if (std::system(openssl.c_str()) != 0) {
      std::fprintf(stderr, "openssl dgst failed\n");
      return 1;
    }
    const double openssl_seconds = seconds_since(start);
    if (run == 0) continue;
    ours.push_back(verify_seconds);
    theirs.push_back(openssl_seconds);
  }

  const double mib = static_cast<double>(kTotalBytes) / (1024 * 1024);
  const double ours_median = median(ours);
  const double theirs_median = median(theirs);
  std::printf("release: %zu files, %.0f MiB, warm page cache, median of %d runs\n", kFiles, mib,
              kRuns);
  std::printf("verify_installed_files: %.3f s (%.0f MiB/s)\n", ours_median, mib / ours_median);
  std::printf("openssl dgst -sha256:   %.3f s (%.0f MiB/s)\n", theirs_median, mib / theirs_median);
  std::printf("ratio: %.3f (goal: at most 1.10)\n", ours_median / theirs_median);
  return 0;
}
