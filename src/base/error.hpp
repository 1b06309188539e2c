// Error values: every fallible step returns Result<T>, either its value or an
// Error with a fixed message and, optionally, the error it wraps.
#pragma once

#include <expected>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace orvo::core {

// The kind of an I/O error, for reads that callers tell apart by kind.
enum class IoKind { None, Interrupted, UnexpectedEof, Other };

class Error {
 public:
  explicit Error(std::string message) : message_(std::move(message)) {}
  Error(std::string message, Error cause)
      : message_(std::move(message)), cause_(std::make_shared<const Error>(std::move(cause))) {}

  // An operating-system error: "<the system's message> (os error <code>)".
  static Error os(int code, const std::string& system_message);
  static Error io(IoKind kind, std::string message);

  const std::string& message() const { return message_; }
  const Error* cause() const { return cause_.get(); }
  IoKind io_kind() const { return io_kind_; }
  std::optional<int> os_code() const { return os_code_; }

  // This error wrapped under a new outer message.
  Error wrap(std::string message) const& { return Error(std::move(message), *this); }
  Error wrap(std::string message) && { return Error(std::move(message), std::move(*this)); }

  // The messages of the chain joined by ": ", outermost first.
  std::string chain_text() const;

 private:
  std::string message_;
  std::shared_ptr<const Error> cause_;
  IoKind io_kind_ = IoKind::None;
  std::optional<int> os_code_;
};

template <class T>
using Result = std::expected<T, Error>;

// Shorthand for returning a failure: `return fail("message");`.
inline std::unexpected<Error> fail(std::string message) {
  return std::unexpected<Error>(Error(std::move(message)));
}
inline std::unexpected<Error> fail(Error error) { return std::unexpected<Error>(std::move(error)); }

}  // namespace orvo::core
