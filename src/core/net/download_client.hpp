// The HTTP client of one preparation attempt: the fixed settings with which
// every download request is made (user agent, time-outs, HTTP/1.1 only, no
// content coding, trusted roots, proxies from the environment, the redirect
// policy). The client is shared by the attempt and the workers of its requests;
// each request runs on an easy handle of its own that the client prepares.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "core/net/builtin_roots.hpp"
#include "core/net/proxy_environment.hpp"
#include "core/url/download_url_policy.hpp"
#include "core/url/url.hpp"

namespace orvo::core {

inline constexpr std::string_view kUserAgent = "ORVO-Support-Launcher/0.1.0";
inline constexpr long kConnectTimeoutSeconds = 10;

struct DownloadClientSettings {
  // The certificates (PEM) a server's chain must lead to: the built-in public
  // roots, or a test's own authority.
  std::string roots_pem = std::string(builtin_roots_pem());
};

struct CurlEasyCleanup {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyCleanup>;

class DownloadClient {
 public:
  DownloadClient(DownloadClientSettings settings, ProxyEnvironment proxies);

  // A fresh easy handle carrying every fixed setting of the client.
  Result<CurlEasy> new_request_handle() const;
  // Points the handle at the URL's serialisation, through the proxy that the
  // environment names for its scheme.
  Result<void> aim(CURL* easy, const Url& url) const;
  // Decides every redirect; downloads never allow plain HTTP.
  const RedirectPolicy& redirect_policy() const { return redirect_policy_; }

 private:
  DownloadClientSettings settings_;
  ProxyEnvironment proxies_;
  RedirectPolicy redirect_policy_{false};
};

// The attempt's client, with the proxies the environment names now.
Result<std::shared_ptr<const DownloadClient>> build_download_client(
    DownloadClientSettings settings = {});

}  // namespace orvo::core
