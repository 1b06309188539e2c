// The cancellation flag of one preparation attempt: set by the window, read by
// every long step of the attempt. Copies share one flag.
#pragma once

#include <atomic>
#include <memory>

namespace orvo::core {

class CancelFlag {
 public:
  CancelFlag() : flag_(std::make_shared<std::atomic<bool>>(false)) {}

  bool is_set() const { return flag_->load(); }
  void set() const { flag_->store(true); }

 private:
  std::shared_ptr<std::atomic<bool>> flag_;
};

}  // namespace orvo::core
