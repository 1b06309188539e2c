#include "platform/thread.hpp"

#include <pthread.h>

#include <memory>
#include <utility>

#include "platform/os_error.hpp"

namespace orvo::platform {

namespace {

struct ThreadStart {
  std::move_only_function<void()> body;
  std::string name;
};

class ThreadAttributes {
 public:
  ThreadAttributes() : status_(pthread_attr_init(&attributes_)) {}
  ThreadAttributes(const ThreadAttributes&) = delete;
  ThreadAttributes& operator=(const ThreadAttributes&) = delete;
  ~ThreadAttributes() {
    if (status_ == 0) pthread_attr_destroy(&attributes_);
  }

  int status() const { return status_; }
  pthread_attr_t* get() { return &attributes_; }

 private:
  pthread_attr_t attributes_;
  int status_;
};

void* run_thread(void* argument) {
  std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(argument));
  // Linux keeps at most 15 bytes of a name; a longer one is refused, and the
  // thread then simply runs unnamed.
  if (!start->name.empty()) pthread_setname_np(pthread_self(), start->name.c_str());
  start->body();
  return nullptr;
}

}  // namespace

core::Result<void> start_detached_thread(std::move_only_function<void()> body, std::string name) {
  ThreadAttributes attributes;
  if (attributes.status() != 0) return core::fail(os_error(attributes.status()));
  if (int status = pthread_attr_setstacksize(attributes.get(), kThreadStackSize); status != 0) {
    return core::fail(os_error(status));
  }
  if (int status = pthread_attr_setdetachstate(attributes.get(), PTHREAD_CREATE_DETACHED);
      status != 0) {
    return core::fail(os_error(status));
  }
  auto start = std::make_unique<ThreadStart>(std::move(body), std::move(name));
  pthread_t thread;
  if (int status = pthread_create(&thread, attributes.get(), run_thread, start.get());
      status != 0) {
    return core::fail(os_error(status));
  }
  start.release();  // the new thread owns it now
  return {};
}

}  // namespace orvo::platform
