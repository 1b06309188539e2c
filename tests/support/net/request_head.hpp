// The head of an HTTP/1.1 request as the test servers receive and record it.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvo::test {

struct HeaderField {
  std::string name;
  std::string value;
};

struct RecordedRequest {
  std::string line;                  // the request line, e.g. "GET /a HTTP/1.1"
  std::vector<HeaderField> headers;  // in the order sent

  // The second word of the request line: the path and query, or a CONNECT authority.
  std::string target() const;
  // The value of the first header of this name (any case); nullopt when absent.
  std::optional<std::string> header(std::string_view name) const;
};

// Reads request heads from a stream, keeping bytes that arrive after a head
// for the next one.
class RequestHeadReader {
 public:
  // Reads into the buffer; returns the byte count, 0 at the end or on an error.
  using Read = std::function<std::size_t(char* buffer, std::size_t size)>;

  explicit RequestHeadReader(Read read) : read_(std::move(read)) {}

  // The next head; nullopt when the stream ends first or the head exceeds 64 KiB.
  std::optional<RecordedRequest> next();
  // The bytes received after the last head, handed over once.
  std::string take_pending() { return std::exchange(pending_, {}); }

 private:
  Read read_;
  std::string pending_;
};

}  // namespace orvo::test
