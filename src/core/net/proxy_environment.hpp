// The proxies that the environment asks for: HTTPS_PROXY or HTTP_PROXY by the
// URL's scheme, else ALL_PROXY, with NO_PROXY's exceptions; each upper-case
// name first, then the lower-case one. An empty value counts as unset.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orvo::core {

struct ProxyEnvironment {
  std::optional<std::string> http;
  std::optional<std::string> https;
  std::optional<std::string> all;
  std::optional<std::string> no_proxy;  // curl's NOPROXY list form

  // The proxy for a URL of this scheme ("http", "https"); nullopt means direct.
  std::optional<std::string> proxy_for(std::string_view scheme) const;
};

// A variable's value, nullopt when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

ProxyEnvironment read_proxy_environment(const EnvironmentLookup& lookup);

}  // namespace orvo::core
