#include <unistd.h>

#include "platform/handle_traits_posix.hpp"

namespace orvo::platform {

// A failed close is not retried: on Linux the descriptor is gone either way.
void FdTraits::close(Native fd) noexcept { ::close(fd); }

}  // namespace orvo::platform
