#include "attempt/preparation_settings.hpp"

#include "orvo/build_settings.hpp"

namespace orvo::core {

std::string manifest_url_for(std::string_view host) {
  return "https://" + std::string(host) + std::string(kManifestPath);
}

PreparationSettings builtin_preparation_settings() {
  PreparationSettings settings{.manifest_url = manifest_url_for(build_settings::kManifestHost),
                               .release_key_text = std::string(build_settings::kReleaseKey),
                               .client = {},
                               .allow_loopback_http = build_settings::kAllowLoopback,
                               .host_wait = {}};
  // A build for a local release server trusts that server's authority as well.
  settings.client.roots_pem += build_settings::kExtraRootPem;
  return settings;
}

}  // namespace orvo::core
