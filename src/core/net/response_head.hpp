// The parts of a response head that the worker reads itself instead of leaving
// them to curl: the announced length, over the whole unsigned 64-bit range
// (curl keeps a signed one and drops anything larger), the transfer coding
// (the body is delivered as the server sent it, so only chunked framing is
// taken), and the Location of a redirect. A head is fed line by line, as
// curl's header callback sees it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.hpp"

namespace orvo::core {

class ResponseHead {
 public:
  // A status line ("HTTP/1.1 200 OK") starts a new head, forgetting an interim one.
  void start(std::string_view status_line);
  // One header line of the head, with or without its line end.
  void add(std::string_view line);

  const std::string& status_line() const { return status_line_; }
  const std::optional<std::string>& location() const { return location_; }

  // Whether the body can be read as the head frames it: a Content-Length that
  // is a decimal count (every field of it the same count), and no transfer
  // coding but chunked. Errors are curl's "Weird server reply" with what was wrong.
  Result<void> check_framing() const;
  // The body length that the head fixes exactly, for a head whose framing passed.
  std::optional<std::uint64_t> fixed_length(long status) const;
  // Whether the body ends only where the connection ends: no length, no chunking.
  bool ends_with_connection(long status) const {
    return !fixed_length(status) && !transfer_codings_;
  }

 private:
  std::string status_line_;
  std::optional<std::string> location_;
  std::optional<std::uint64_t> content_length_;
  bool content_length_invalid_ = false;
  std::optional<std::string> transfer_codings_;  // every Transfer-Encoding value, joined by ", "
};

// The count of a Content-Length value: one or more decimal digits, no sign,
// at most 2^64 - 1; nullopt for anything else.
std::optional<std::uint64_t> parse_content_length(std::string_view value);

}  // namespace orvo::core
