// Extraction of a 256 MiB release package of 200 mixed files, against what a
// user would reach for: `unzip -q -d` followed by `openssl dgst -sha256` over
// the output. Ours also flushes every file to disk and re-reads it for its
// digest, as it must.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "core/package/package_extraction.hpp"
#include "core/release/sha256.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/release/mixed_content.hpp"
#include "support/release/zip_builder.hpp"

namespace {

namespace fs = std::filesystem;
using orvo::core::ManifestFile;

constexpr std::size_t kFiles = 200;
constexpr std::uint64_t kTotalBytes = 256ull << 20;
constexpr int kRuns = 3;

std::string name_of(std::size_t index) {
  if (index == 0) return "ORVO.Host.exe";
  static constexpr const char* kFolders[] = {"bin/", "lib/", "data/maps/", "data/text/", ""};
  return std::string(kFolders[index % 5]) + "file" + std::to_string(index) + ".bin";
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int run() {
  orvo::test::TempDir dir;
  const fs::path package = dir / "host.zip";

  const std::vector<std::size_t> sizes = orvo::test::mixed_sizes(kFiles, kTotalBytes);
  std::vector<orvo::test::ZipEntrySpec> entries;
  std::vector<ManifestFile> files;
  std::uint64_t assigned = 0;
  for (std::size_t i = 0; i < kFiles; ++i) {
    assigned += sizes[i];
    std::string data = orvo::test::mixed_content(i, sizes[i]);
    files.push_back(
        {name_of(i), data.size(), orvo::core::sha256_hex(std::as_bytes(std::span(data)))});
    const auto method = i % 4 == 3 ? orvo::test::ZipMethod::Store : orvo::test::ZipMethod::Deflate;
    entries.push_back({name_of(i), std::move(data), method});
  }
  orvo::test::write_zip(package, entries);
  entries.clear();
  std::printf("package: %zu files, %llu bytes of content, %llu bytes in the archive\n", kFiles,
              static_cast<unsigned long long>(assigned),
              static_cast<unsigned long long>(fs::file_size(package)));

  double ours = 1e9;
  double tools = 1e9;
  for (int run = 0; run < kRuns; ++run) {
    const fs::path ours_out = dir / ("ours" + std::to_string(run));
    fs::create_directory(ours_out);
    auto start = std::chrono::steady_clock::now();
    const auto result = orvo::core::extract_package(package, ours_out, files, {});
    const double ours_run = seconds_since(start);
    if (!result) {
      std::fprintf(stderr, "extract_package failed: %s\n", result.error().chain_text().c_str());
      return 1;
    }

    const fs::path tools_out = dir / ("tools" + std::to_string(run));
    std::string command = "unzip -q -d '" + tools_out.string() + "' '" + package.string() +
                          "' && openssl dgst -sha256";
    for (const ManifestFile& file : files) command += " '" + (tools_out / file.path).string() + "'";
    command += " > /dev/null";
    start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
      std::fprintf(stderr, "unzip or openssl failed\n");
      return 1;
    }
    const double tools_run = seconds_since(start);
    std::printf("run %d: extract_package %.3f s, unzip + openssl dgst %.3f s\n", run + 1, ours_run,
                tools_run);
    ours = std::min(ours, ours_run);
    tools = std::min(tools, tools_run);
    fs::remove_all(ours_out);
    fs::remove_all(tools_out);
  }
  std::printf("best of %d: extract_package %.3f s, unzip + openssl dgst %.3f s, ratio %.2f (goal: at most 1.5)\n",
              kRuns, ours, tools, ours / tools);
  return 0;
}

}  // namespace

int main() {
  try {
    return run();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "benchmark failed: %s\n", error.what());
    return 1;
  }
}
