// The host of a URL: parsed from the text between the authority's '@' and
// port into a domain (after IDNA domain-to-ASCII), an IPv4 or IPv6 address,
// an opaque host (non-special schemes) or the empty host, and serialised back.
#pragma once

#include <string>
#include <string_view>

#include "base/error.hpp"
#include "core/url/url.hpp"

namespace orvo::core {

// Sets url's host fields from text; is_opaque is true for non-special schemes.
Result<void> parse_host(std::string_view text, bool is_opaque, Url& url);

// "example.com", "127.0.0.1", "[::1]", "" for the empty host and for none.
std::string serialize_host(const Url& url);

}  // namespace orvo::core
