// A started process, owned: dropping it releases the handles and leaves the
// process running (on POSIX a child that has already ended is reaped then).
// Move-only.
#pragma once

namespace orvo::platform {

class Process {
 public:
  Process() = default;
#ifdef _WIN32
  Process(void* process_handle, void* thread_handle)
      : process_(process_handle), thread_(thread_handle) {}
#else
  // Takes over a pidfd of the child with the given id.
  Process(int pid, int pidfd) : pid_(pid), pidfd_(pidfd) {}
  int pid() const { return pid_; }
  int pidfd() const { return pidfd_; }
#endif

  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  bool valid() const;

 private:
  void release() noexcept;

#ifdef _WIN32
  void* process_ = nullptr;
  void* thread_ = nullptr;
#else
  int pid_ = -1;
  int pidfd_ = -1;
#endif
};

}  // namespace orvo::platform
