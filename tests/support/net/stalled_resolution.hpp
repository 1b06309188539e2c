// A host name whose resolution stalls until the value lets it go. The C
// library's resolver reads the host-alias file that HOSTALIASES names before it
// asks any name server; here that file is a FIFO that nobody writes to, so the
// resolving thread waits in it and no packet leaves the machine.
#pragma once

#include <mutex>
#include <string_view>

#include "support/fs/scoped_variable.hpp"
#include "support/fs/temp_dir.hpp"

namespace orvo::test {

class StalledResolution {
 public:
  // Without a dot: only such names go through the alias file.
  static constexpr std::string_view kHost = "orvo-stalled";

  StalledResolution();
  StalledResolution(const StalledResolution&) = delete;
  StalledResolution& operator=(const StalledResolution&) = delete;
  ~StalledResolution();

  // Lets every waiting resolution go on. The alias file then maps the name to
  // one with an empty label, which no query can carry, so each fails at once,
  // still without a packet. Later calls do nothing.
  void release();
  bool released() const;

 private:
  TempDir folder_;
  ScopedVariable aliases_;
  mutable std::mutex mutex_;
  bool released_ = false;
};

}  // namespace orvo::test
