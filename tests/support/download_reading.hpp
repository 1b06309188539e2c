// Helpers for tests of the download client: reading a body to its end while
// keeping the size of every read, and a clean proxy environment.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/download_body.hpp"

namespace orvo::test {

struct BodyReading {
  std::string bytes;                // everything read, in order
  std::vector<std::size_t> reads;   // the count each successful non-final read returned
  std::optional<core::Error> error; // the error that ended the reading, if one did
};

// Reads until 0 (the end) or an error.
BodyReading read_to_end(core::DownloadBody& body);

// Unsets every proxy variable the client reads and puts them back afterwards,
// so tests neither see the machine's proxies nor leave their own behind.
class ProxyVariables {
 public:
  ProxyVariables();
  ProxyVariables(const ProxyVariables&) = delete;
  ProxyVariables& operator=(const ProxyVariables&) = delete;
  ~ProxyVariables();

  void set(const char* name, const std::string& value);

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace orvo::test
