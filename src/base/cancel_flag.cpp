#include "base/cancel_flag.hpp"

namespace orvo::core {
namespace {

constexpr const char* kCancelledMessage = "Preparation cancelled";

}  // namespace

Error cancelled_error() { return Error(kCancelledMessage); }

Error cancelled_read_error() { return Error::io(IoKind::Interrupted, kCancelledMessage); }

}  // namespace orvo::core
