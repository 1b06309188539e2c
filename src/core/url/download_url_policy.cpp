#include "core/url/download_url_policy.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace orvo::core {
namespace {

constexpr std::size_t kMaxRedirects = 4;

// Judged on the parsed address, so every spelling of 127.0.0.0/8 counts and
// no name does; the IPv4-mapped ::ffff:127.0.0.1 is not ::1 and does not.
bool is_loopback(const Url& url) {
  if (url.host_kind == HostKind::Ipv4) return (url.ipv4 >> 24) == 127;
  if (url.host_kind == HostKind::Ipv6) {
    constexpr std::array<std::uint16_t, 8> kLoopback = {0, 0, 0, 0, 0, 0, 0, 1};
    return url.ipv6 == kLoopback;
  }
  return false;
}

}  // namespace

Result<Url> validate_download_url(std::string_view text, bool allow_loopback_http) {
  Result<Url> parsed = parse_url(text);
  if (!parsed) return fail(std::move(parsed).error().wrap("Invalid download URL"));
  const Url& url = *parsed;
  if (!url.username.empty() || !url.password.empty() || url.fragment) {
    return fail("Download URLs cannot include credentials or fragments");
  }
  // "file:///x" has the empty host, which names no machine.
  if (url.host_kind == HostKind::None || url.host_kind == HostKind::Empty) {
    return fail("Download URL needs a hostname");
  }
  if (url.scheme == "https") return parsed;
  if (allow_loopback_http && url.scheme == "http" && is_loopback(url)) return parsed;
  return fail("ORVO downloads require HTTPS");
}

Result<void> RedirectPolicy::check_redirect(const Url& target,
                                            std::span<const Url> visited) const {
  if (visited.size() > kMaxRedirects) return fail("Too many download redirects");
  if (!validate_download_url(target.href(), allow_loopback_http_)) {
    return fail("Insecure download redirect");
  }
  return {};
}

}  // namespace orvo::core
