// The one rule every download URL must pass (HTTPS to a host, no credentials,
// no fragment; plain HTTP only to a loopback address and only when allowed),
// and the redirect policy that applies it to every redirect target and caps
// the redirects of one request at four.
#pragma once

#include <span>
#include <string_view>

#include "base/error.hpp"
#include "core/url/url.hpp"

namespace orvo::core {

// The parsed URL when text passes the rule, else the reason it does not.
Result<Url> validate_download_url(std::string_view text, bool allow_loopback_http);

// Immutable, so one policy serves every request of a client on any thread.
class RedirectPolicy {
 public:
  explicit RedirectPolicy(bool allow_loopback_http) : allow_loopback_http_(allow_loopback_http) {}

  // visited: the URLs requested so far for this request, first URL first,
  // ending with the URL whose response is the redirect. Refusals are
  // "Too many download redirects" and "Insecure download redirect".
  Result<void> check_redirect(const Url& target, std::span<const Url> visited) const;

 private:
  bool allow_loopback_http_;
};

}  // namespace orvo::core
