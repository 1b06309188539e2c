// What the preparation attempt tests share: a cache root in a temporary
// LOCALAPPDATA, a TLS release server on 127.0.0.1 that the attempt's settings
// point at and trust, a release signer whose key the settings carry, version
// folders installed straight into the cache, and the messages the attempt sent.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "attempt/preparation_settings.hpp"
#include "base/cancel_flag.hpp"
#include "core/context/worker_message.hpp"
#include "support/fs/scoped_variable.hpp"
#include "support/fs/temp_dir.hpp"
#include "support/net/download_fixture.hpp"
#include "support/net/tls_server.hpp"
#include "support/release/release_builder.hpp"

namespace orvo::test {

inline constexpr std::string_view kManifestTarget = "/downloads/host/win-x64/latest.json";
inline constexpr std::string_view kPackageTarget = "/host.zip";

// The files of a test release of this sequence.
std::vector<ReleaseFile> release_files(std::uint64_t sequence);

// One message as text: "text" for Marquee, "text 14" for Determinate, "Launched", "Failed: text".
std::string describe(const core::WorkerMessage& message);

class PreparationFixture : public testing::Test {
 protected:
  PreparationFixture();
  // Ends the server's connections and waits for the attempt's download threads.
  void TearDown() override;

  // A release packed and signed for the server: the manifest target answers
  // with its envelope and kPackageTarget with its package.
  release_tool::PackedRelease publish(std::vector<ReleaseFile> files, std::uint64_t sequence);
  static std::string package_bytes(const release_tool::PackedRelease& release);

  // A version folder holding the files, the envelope and, when working, the marker.
  std::filesystem::path install(std::string_view name, std::span<const ReleaseFile> files,
                                const std::string& envelope, bool working);
  // A release of this sequence that the server never offers.
  std::filesystem::path install_other(std::string_view name, std::uint64_t sequence, bool working);

  // Everything the attempt has sent so far, described.
  std::vector<std::string> messages();

  std::filesystem::path cache_root() const { return dir / "ORVO" / "HostLauncher"; }
  std::filesystem::path versions() const { return cache_root() / "versions"; }
  // The names of the entries of a folder (none when it is missing), sorted.
  static std::vector<std::string> entries_of(const std::filesystem::path& folder);
  // Whether a request for this target reached the server.
  bool requested(std::string_view target) const;
  // Whatever the attempt leaves in the cache root besides the log and the versions.
  std::vector<std::string> staging_folders() const;

  ProxyVariables proxy_variables;
  TempDir dir;
  ScopedVariable local_app_data{"LOCALAPPDATA", dir.path().string()};
  TlsServer server;
  ReleaseSigner signer;
  core::PreparationSettings settings;
  core::CancelFlag cancel;
  std::pair<core::WorkerSender, core::WorkerReceiver> channel =
      core::make_channel<core::WorkerMessage>();
  core::WorkerSender& sender = channel.first;

 private:
  int releases_ = 0;
};

}  // namespace orvo::test
