// The build-time settings of a preparation attempt: the manifest URL, the
// release verification key text, the HTTP client's trust roots, whether
// release URLs may use plain HTTP to a loopback address, and how long the
// wait for the host's window lasts. The program passes the built-in ones;
// tests pass their own.
#pragma once

#include <string>
#include <string_view>

#include "core/net/download_client.hpp"
#include "launch/host_start.hpp"

namespace orvo::core {

inline constexpr std::string_view kManifestPath = "/downloads/host/win-x64/latest.json";

struct PreparationSettings {
  std::string manifest_url;      // the full manifest URL text
  std::string release_key_text;  // 64 hexadecimal digits; empty in a build never configured
  DownloadClientSettings client; // the built-in roots by default
  bool allow_loopback_http = false;
  launch::HostWaitLimits host_wait;
};

// "https://" + host + kManifestPath.
std::string manifest_url_for(std::string_view host);

// The values this build was configured with.
PreparationSettings builtin_preparation_settings();

}  // namespace orvo::core
