#include "attempt/configuration.hpp"

#include <algorithm>
#include <utility>

#include "core/cache/cache_root.hpp"
#include "core/cache/versions_cache.hpp"
#include "core/release/release_encoding.hpp"

namespace orvo::core {

Result<std::array<unsigned char, 32>> decode_release_key(std::string_view text) {
  auto bytes = decode_hex(text);
  if (!bytes) return fail(std::move(bytes).error().wrap("Invalid embedded release verification key"));
  std::array<unsigned char, 32> key{};
  if (bytes->size() != key.size()) {
    return fail(
        "This launcher has not been configured for distribution. Run "
        "deploy/Publish-WindowsHost.ps1.");
  }
  std::ranges::transform(*bytes, key.begin(), [](std::byte b) { return std::to_integer<unsigned char>(b); });
  return key;
}

Result<PreparationContext> configure_attempt(const PreparationSettings& settings,
                                             const CancelFlag& cancel) {
  auto key = decode_release_key(settings.release_key_text);
  if (!key) return fail(std::move(key).error());
  auto cache_root = launcher_cache_root();
  if (!cache_root) return fail(std::move(cache_root).error());
  PreparationContext context{.manifest_url = settings.manifest_url,
                             .cache_root = std::move(*cache_root),
                             .release_key = *key,
                             .allow_loopback_http = settings.allow_loopback_http};
  if (cancel.is_set()) return fail(cancelled_error());
  if (auto made = ensure_versions_folder(context.cache_root); !made) return fail(std::move(made).error());
  return context;
}

}  // namespace orvo::core
