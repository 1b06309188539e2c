#include "core/net/curl_error.hpp"

#include <string>

#include "core/text/utf8_repair.hpp"

namespace orvo::core {

Error curl_error(CURLcode code, std::string_view details) {
  std::string outer = curl_easy_strerror(code);
  if (code == CURLE_OPERATION_TIMEDOUT) return Error(std::move(outer), Error(std::string(kTimedOutMessage)));
  while (!details.empty() && (details.back() == '\n' || details.back() == '\r')) details.remove_suffix(1);
  if (details.empty() || details == outer) return Error(std::move(outer));
  // The details may quote what a server sent (a certificate's name), in whatever bytes it chose.
  return Error(std::move(outer), Error(repair_utf8(details)));
}

Error curl_multi_error(CURLMcode code) { return Error(curl_multi_strerror(code)); }

}  // namespace orvo::core
