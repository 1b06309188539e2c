// URLs parsed and serialised by the WHATWG URL Standard: the URL record, the
// basic URL parser (with or without a base URL) and the href serialiser, plus
// the component views of the URL API (protocol, host, pathname, ...).
// Any byte sequence is either a URL or an Error naming the failure.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"

namespace orvo::core {

// Empty is the empty host of "file:///x" and of non-special URLs such as
// "sc:///x"; None is no host at all ("mailto:x").
enum class HostKind { None, Domain, Ipv4, Ipv6, Opaque, Empty };

struct Url {
  std::string scheme;  // lower case, without ':'
  std::string username;
  std::string password;
  HostKind host_kind = HostKind::None;
  std::string host;  // serialised host text for Domain, Opaque and Empty
  std::uint32_t ipv4 = 0;
  std::array<std::uint16_t, 8> ipv6{};
  std::optional<std::uint16_t> port;  // never the scheme's default port
  // A URL whose path is opaque ("mailto:x", "data:...") keeps it whole in
  // opaque_path; every other URL keeps path segments.
  std::optional<std::string> opaque_path;
  std::vector<std::string> path;
  std::optional<std::string> query;
  std::optional<std::string> fragment;

  bool is_special() const;
  bool has_host() const { return host_kind != HostKind::None; }

  std::string href() const;
  std::string protocol() const;   // "https:"
  std::string host_text() const;  // hostname plus ":port" when a port is set
  std::string hostname() const;   // "[::1]" for IPv6
  std::string port_text() const;  // "" when no port
  std::string pathname() const;
  std::string search() const;  // "" or "?query"
  std::string hash() const;    // "" or "#fragment"
};

Result<Url> parse_url(std::string_view input, const Url* base = nullptr);

}  // namespace orvo::core
