#include "support/net/request_head.hpp"

#include <algorithm>
#include <cctype>

namespace orvo::test {

namespace {

constexpr std::size_t kMaxHead = 64 * 1024;

bool same_name(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

RecordedRequest parse_head(std::string_view head) {
  RecordedRequest request;
  bool first = true;
  while (!head.empty()) {
    const std::size_t end = head.find("\r\n");
    const std::string_view line = head.substr(0, end);
    head.remove_prefix(end == std::string_view::npos ? head.size() : end + 2);
    if (first) {
      request.line = line;
      first = false;
      continue;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
      request.headers.push_back({std::string(line), {}});
    } else {
      request.headers.push_back(
          {std::string(line.substr(0, colon)), std::string(trimmed(line.substr(colon + 1)))});
    }
  }
  return request;
}

}  // namespace

std::string RecordedRequest::target() const {
  const std::size_t start = line.find(' ');
  if (start == std::string::npos) return {};
  const std::size_t end = line.find(' ', start + 1);
  return line.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
  for (const HeaderField& field : headers) {
    if (same_name(field.name, name)) return field.value;
  }
  return std::nullopt;
}

std::optional<RecordedRequest> RequestHeadReader::next() {
  char buffer[4096];
  for (;;) {
    if (const std::size_t end = pending_.find("\r\n\r\n"); end != std::string::npos) {
      RecordedRequest request = parse_head(std::string_view(pending_).substr(0, end));
      pending_.erase(0, end + 4);
      return request;
    }
    if (pending_.size() > kMaxHead) return std::nullopt;
    const std::size_t got = read_(buffer, sizeof buffer);
    if (got == 0) return std::nullopt;
    pending_.append(buffer, got);
  }
}

}  // namespace orvo::test
