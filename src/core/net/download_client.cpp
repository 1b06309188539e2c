#include "core/net/download_client.hpp"

#include "core/net/curl_error.hpp"
#include "platform/env.hpp"

namespace orvo::core {

namespace {

constexpr long kReadBufferSize = 64 * 1024;

Result<void> global_init() {
  // curl_global_init is thread-safe in this curl; it runs once per process.
  static const CURLcode status = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (status != CURLE_OK) return fail(curl_error(status));
  return {};
}

// Sets options on a handle and keeps the first failure.
class OptionSetter {
 public:
  explicit OptionSetter(CURL* easy) : easy_(easy) {}

  template <class Value>
  OptionSetter& set(CURLoption option, Value value) {
    if (status_ == CURLE_OK) status_ = curl_easy_setopt(easy_, option, value);
    return *this;
  }

  Result<void> result() const {
    if (status_ != CURLE_OK) return fail(curl_error(status_));
    return {};
  }

 private:
  CURL* easy_;
  CURLcode status_ = CURLE_OK;
};

}  // namespace

DownloadClient::DownloadClient(DownloadClientSettings settings, ProxyEnvironment proxies)
    : settings_(std::move(settings)), proxies_(std::move(proxies)) {}

Result<CurlEasy> DownloadClient::new_request_handle() const {
  CurlEasy easy(curl_easy_init());
  if (easy == nullptr) return fail(curl_error(CURLE_OUT_OF_MEMORY));
  CURL* handle = easy.get();
  const std::string user_agent(kUserAgent);
  // curl copies blobs flagged CURL_BLOB_COPY, so the handle keeps no pointer into the client.
  curl_blob roots{const_cast<char*>(settings_.roots_pem.data()), settings_.roots_pem.size(),
                  CURL_BLOB_COPY};
  Result<void> status =
      OptionSetter(handle)
          .set(CURLOPT_PROTOCOLS_STR, "http,https")
          .set(CURLOPT_HTTPGET, 1L)
          .set(CURLOPT_FOLLOWLOCATION, 0L)
          .set(CURLOPT_USERAGENT, user_agent.c_str())
          .set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1))
          .set(CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds)
          .set(CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2))
          .set(CURLOPT_PROXY_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_2))
          .set(CURLOPT_SSL_VERIFYPEER, 1L)
          .set(CURLOPT_SSL_VERIFYHOST, 2L)
          // Without both, curl would still consult the system's certificate folder.
          .set(CURLOPT_CAINFO_BLOB, &roots)
          .set(CURLOPT_CAPATH, static_cast<char*>(nullptr))
          .set(CURLOPT_PROXY_CAINFO_BLOB, &roots)
          .set(CURLOPT_PROXY_CAPATH, static_cast<char*>(nullptr))
          .set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L)
          .set(CURLOPT_NOSIGNAL, 1L)
          // A transfer torn down while its name is still being resolved leaves
          // the resolver thread to finish on its own instead of waiting for
          // it: otherwise a stalled resolution would outlast the time limit.
          .set(CURLOPT_QUICK_EXIT, 1L)
          .set(CURLOPT_BUFFERSIZE, kReadBufferSize)
          .result();
  if (!status) return fail(std::move(status).error());
  return easy;
}

Result<void> DownloadClient::aim(CURL* easy, const Url& url) const {
  // Always set explicitly: left unset, curl would read the variables itself, by rules of its own.
  const std::string href = url.href();
  const std::string proxy = proxies_.proxy_for(url.scheme).value_or("");
  const std::string no_proxy = proxies_.no_proxy.value_or("");
  return OptionSetter(easy)
      .set(CURLOPT_URL, href.c_str())
      .set(CURLOPT_PROXY, proxy.c_str())
      .set(CURLOPT_NOPROXY, no_proxy.c_str())
      .result();
}

Result<std::shared_ptr<const DownloadClient>> build_download_client(
    DownloadClientSettings settings) {
  if (Result<void> init = global_init(); !init) return fail(std::move(init).error());
  return std::make_shared<const DownloadClient>(std::move(settings),
                                                read_proxy_environment(platform::env_text));
}

}  // namespace orvo::core
