#include "base/error.hpp"

namespace orvo::core {

Error Error::os(int code, const std::string& system_message) {
  Error error(system_message + " (os error " + std::to_string(code) + ")");
  error.os_code_ = code;
  return error;
}

Error Error::io(IoKind kind, std::string message) {
  Error error(std::move(message));
  error.io_kind_ = kind;
  return error;
}

std::string Error::chain_text() const {
  std::string text = message_;
  for (const Error* inner = cause(); inner != nullptr; inner = inner->cause()) {
    text += ": ";
    text += inner->message_;
  }
  return text;
}

}  // namespace orvo::core
