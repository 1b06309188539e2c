#include "core/net/response_head.hpp"

#include <charconv>
#include <system_error>

#include "core/net/curl_error.hpp"
#include "core/text/ascii_case.hpp"

namespace orvo::core {

namespace {

std::string_view without_line_end(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

// The value of a header line of this (lower-case) name; nullopt for another header.
std::optional<std::string_view> header_value(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':') return std::nullopt;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (ascii_lower(line[i]) != name[i]) return std::nullopt;
  }
  return trimmed(line.substr(name.size() + 1));
}

}  // namespace

std::optional<std::uint64_t> parse_content_length(std::string_view value) {
  // Neither a sign nor a blank is taken, and a count beyond the type is out of range.
  std::uint64_t count = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), count);
  if (error != std::errc() || end != value.data() + value.size()) return std::nullopt;
  return count;
}

void ResponseHead::start(std::string_view status_line) {
  *this = ResponseHead();
  status_line_ = without_line_end(status_line);
}

void ResponseHead::add(std::string_view line) {
  line = without_line_end(line);
  if (std::optional<std::string_view> value = header_value(line, "location")) {
    if (!location_) location_ = std::string(*value);
  } else if (std::optional<std::string_view> value = header_value(line, "content-length")) {
    const std::optional<std::uint64_t> count = parse_content_length(*value);
    if (!count || (content_length_ && *content_length_ != *count)) content_length_invalid_ = true;
    content_length_ = count;
  } else if (std::optional<std::string_view> value = header_value(line, "transfer-encoding")) {
    if (transfer_codings_) {
      *transfer_codings_ += ", ";
      *transfer_codings_ += *value;
    } else {
      transfer_codings_ = std::string(*value);
    }
  }
}

Result<void> ResponseHead::check_framing() const {
  if (content_length_invalid_)
    return fail(curl_error(CURLE_WEIRD_SERVER_REPLY, "Invalid Content-Length"));
  // A list of codings names chunked once and nothing else.
  if (transfer_codings_ && ascii_lower(*transfer_codings_) != "chunked") {
    return fail(curl_error(CURLE_WEIRD_SERVER_REPLY, "Unsupported Transfer-Encoding"));
  }
  return {};
}

std::optional<std::uint64_t> ResponseHead::fixed_length(long status) const {
  if (status == 204 || status == 304) return 0;
  if (transfer_codings_) return std::nullopt;
  return content_length_;
}

}  // namespace orvo::core
