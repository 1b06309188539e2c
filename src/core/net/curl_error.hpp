// libcurl's failures as error values: curl's text for the code, with the
// details curl wrote into the transfer's error buffer beneath it.
#pragma once

#include <curl/curl.h>

#include <string_view>

#include "base/error.hpp"

namespace orvo::core {

// The innermost message of every time-out, whichever step ran out of time.
inline constexpr std::string_view kTimedOutMessage = "operation timed out";

// curl's error for code; details is the error buffer's text (may be empty),
// kept as valid UTF-8.
// A time-out ends in kTimedOutMessage instead of curl's own numbers.
Error curl_error(CURLcode code, std::string_view details = {});

// curl's error for a failure of its multi interface.
Error curl_multi_error(CURLMcode code);

}  // namespace orvo::core
