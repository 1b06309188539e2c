// The cancellation flag of one preparation attempt: set by the window, read by
// every long step of the attempt. Copies share one flag.
#pragma once

#include <atomic>
#include <memory>

#include "base/error.hpp"

namespace orvo::core {

class CancelFlag {
 public:
  CancelFlag() : flag_(std::make_shared<std::atomic<bool>>(false)) {}

  bool is_set() const { return flag_->load(); }
  void set() const { flag_->store(true); }

 private:
  std::shared_ptr<std::atomic<bool>> flag_;
};

// The error of a step that stopped because its attempt was cancelled.
Error cancelled_error();
// The same as an I/O error of kind Interrupted, for readers that tell errors apart by kind.
Error cancelled_read_error();

}  // namespace orvo::core
