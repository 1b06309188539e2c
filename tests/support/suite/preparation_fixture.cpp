#include "support/suite/preparation_fixture.hpp"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "core/release/sha256.hpp"
#include "support/release/version_folder.hpp"

namespace orvo::test {

namespace fs = std::filesystem;

std::vector<ReleaseFile> release_files(std::uint64_t sequence) {
  return {{"ORVO.Host.exe", "host of release " + std::to_string(sequence)},
          {"lib/support.dll", std::string(3000, static_cast<char>('a' + sequence % 26))}};
}

std::string describe(const core::WorkerMessage& message) {
  if (const auto* progress = std::get_if<core::Progress>(&message)) {
    if (progress->mode == core::ProgressMode::Marquee) return progress->text;
    return progress->text + " " + std::to_string(progress->percent);
  }
  if (const auto* failed = std::get_if<core::Failed>(&message)) return "Failed: " + failed->text;
  return "Launched";
}

PreparationFixture::PreparationFixture() {
  settings.manifest_url = server.url(kManifestTarget);
  settings.release_key_text = core::lower_hex(signer.release_key());
  settings.client.roots_pem = server.ca_pem();
}

void PreparationFixture::TearDown() {
  server.stop();
  EXPECT_TRUE(no_download_threads_left());
}

release_tool::PackedRelease PreparationFixture::publish(std::vector<ReleaseFile> files,
                                                        std::uint64_t sequence) {
  auto packed = build_release(signer, dir / ("release-" + std::to_string(++releases_)), files,
                              {.sequence = sequence,
                               .version = {},
                               .package_url = server.url(kPackageTarget),
                               .allow_loopback_http = false});
  // GoogleTest reports an exception as the test's failure; going on would read no release.
  if (!packed) throw std::runtime_error("cannot build the release: " + packed.error().chain_text());
  server.on(std::string(kManifestTarget), Answer::body(packed->envelope));
  server.on(std::string(kPackageTarget), Answer::body(package_bytes(*packed)));
  return *packed;
}

std::string PreparationFixture::package_bytes(const release_tool::PackedRelease& release) {
  return read_file(release.package);
}

fs::path PreparationFixture::install(std::string_view name, std::span<const ReleaseFile> files,
                                     const std::string& envelope, bool working) {
  const fs::path folder = versions() / name;
  write_version_folder(folder, files, envelope,
                       working ? std::optional<std::string>("ok") : std::nullopt);
  return folder;
}

fs::path PreparationFixture::install_other(std::string_view name, std::uint64_t sequence,
                                           bool working) {
  const auto files = release_files(sequence);
  return install(name, files, signer.envelope(manifest_of(files, sequence)), working);
}

std::vector<std::string> PreparationFixture::messages() {
  std::vector<std::string> seen;
  while (auto message = channel.second.try_receive()) seen.push_back(describe(*message));
  return seen;
}

std::vector<std::string> PreparationFixture::entries_of(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    names.push_back(entry.path().filename().string());
  }
  std::ranges::sort(names);
  return names;
}

bool PreparationFixture::requested(std::string_view target) const {
  return std::ranges::any_of(server.requests(),
                             [&](const RecordedRequest& r) { return r.target() == target; });
}

std::vector<std::string> PreparationFixture::staging_folders() const {
  std::vector<std::string> staging;
  for (const auto& name : entries_of(cache_root())) {
    if (name.starts_with(".staging-")) staging.push_back(name);
  }
  return staging;
}

}  // namespace orvo::test
