#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "support/fs/special_files.hpp"
#include "support/net/stalled_resolution.hpp"

namespace orvo::test {

namespace {

constexpr const char* kAliasFile = "hostaliases";

}  // namespace

StalledResolution::StalledResolution() : aliases_("HOSTALIASES", (folder_ / kAliasFile).string()) {
  make_fifo(folder_ / kAliasFile);
}

StalledResolution::~StalledResolution() { release(); }

void StalledResolution::release() {
  std::lock_guard lock(mutex_);
  if (released_) return;
  released_ = true;
  // Opening without waiting fails when no resolver has the file open: then none waits.
  const int fifo = ::open((folder_ / kAliasFile).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  if (fifo < 0) return;
  const std::string line = std::string(kHost) + " empty..label\n";
  (void)!::write(fifo, line.data(), line.size());
  ::close(fifo);
}

bool StalledResolution::released() const {
  std::lock_guard lock(mutex_);
  return released_;
}

}  // namespace orvo::test
