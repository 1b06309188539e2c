#include "support/download_reading.hpp"

#include <array>
#include <cstdlib>

namespace orvo::test {

namespace {

constexpr const char* kProxyVariables[] = {"HTTP_PROXY", "http_proxy", "HTTPS_PROXY",
                                           "https_proxy", "ALL_PROXY",  "all_proxy",
                                           "NO_PROXY",   "no_proxy"};

}  // namespace

BodyReading read_to_end(core::DownloadBody& body) {
  BodyReading reading;
  std::array<std::byte, core::kDownloadBufferSize> buffer;
  for (;;) {
    core::Result<std::size_t> got = core::read_download_body(body, buffer);
    if (!got) {
      reading.error = std::move(got).error();
      return reading;
    }
    if (*got == 0) return reading;
    reading.reads.push_back(*got);
    reading.bytes.append(reinterpret_cast<const char*>(buffer.data()), *got);
  }
}

ProxyVariables::ProxyVariables() {
  for (const char* name : kProxyVariables) {
    const char* value = std::getenv(name);
    saved_.emplace_back(name, value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    ::unsetenv(name);
  }
}

ProxyVariables::~ProxyVariables() {
  for (const auto& [name, value] : saved_) {
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
}

void ProxyVariables::set(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }

}  // namespace orvo::test
