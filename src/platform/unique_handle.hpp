// An owned handle of the operating system, closed when its owner goes away.
// Move-only. Traits say what the handle is, which value means "none" and how
// to close one:
//   using Native = ...;
//   static Native invalid() noexcept;
//   static void close(Native handle) noexcept;
// The traits of each system are in handle_traits.hpp.
#pragma once

#include <utility>

namespace orvo::platform {

template <class Traits>
class UniqueHandle {
 public:
  using Native = typename Traits::Native;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Native handle) noexcept : handle_(handle) {}

  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { reset(); }

  bool valid() const noexcept { return handle_ != Traits::invalid(); }
  Native get() const noexcept { return handle_; }

  // Gives the handle up without closing it.
  Native release() noexcept { return std::exchange(handle_, Traits::invalid()); }

  // Closes the handle held, if any, and takes handle instead.
  void reset(Native handle = Traits::invalid()) noexcept {
    const Native old = std::exchange(handle_, handle);
    if (old != Traits::invalid()) Traits::close(old);
  }

 private:
  Native handle_ = Traits::invalid();
};

}  // namespace orvo::platform
