#include "core/attempt/preparation_settings.hpp"

#include "orvo/build_settings.hpp"

namespace orvo::core {

std::string manifest_url_for(std::string_view host) {
  return "https://" + std::string(host) + std::string(kManifestPath);
}

PreparationSettings builtin_preparation_settings() {
  return PreparationSettings{.manifest_url = manifest_url_for(build_settings::kManifestHost),
                             .release_key_text = std::string(build_settings::kReleaseKey),
                             .client = {}};
}

}  // namespace orvo::core
