#include "core/net/proxy_environment.hpp"

namespace orvo::core {

namespace {

std::optional<std::string> first_set(const EnvironmentLookup& lookup, const char* upper,
                                     const char* lower) {
  for (const char* name : {upper, lower}) {
    std::optional<std::string> value = lookup(name);
    if (value && !value->empty()) return value;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ProxyEnvironment::proxy_for(std::string_view scheme) const {
  const std::optional<std::string>* specific = scheme == "https" ? &https
                                              : scheme == "http"  ? &http
                                                                  : nullptr;
  return specific != nullptr && *specific ? *specific : all;
}

ProxyEnvironment read_proxy_environment(const EnvironmentLookup& lookup) {
  return ProxyEnvironment{
      .http = first_set(lookup, "HTTP_PROXY", "http_proxy"),
      .https = first_set(lookup, "HTTPS_PROXY", "https_proxy"),
      .all = first_set(lookup, "ALL_PROXY", "all_proxy"),
      .no_proxy = first_set(lookup, "NO_PROXY", "no_proxy"),
  };
}

}  // namespace orvo::core
