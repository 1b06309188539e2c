#include "platform/random.hpp"

#include <algorithm>
#include <climits>

#include "platform/os_error.hpp"
#include "platform/win32.hpp"
// bcrypt.h needs the types of <windows.h> first.
#include <bcrypt.h>

extern "C" ULONG WINAPI RtlNtStatusToDosError(LONG status);

namespace orvo::platform {

core::Result<void> fill_random(std::span<std::byte> bytes) {
  while (!bytes.empty()) {
    const std::size_t count = std::min<std::size_t>(bytes.size(), ULONG_MAX);
    const NTSTATUS status =
        ::BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(bytes.data()),
                          static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status < 0) return core::fail(os_error(static_cast<int>(RtlNtStatusToDosError(status))));
    bytes = bytes.subspan(count);
  }
  return {};
}

}  // namespace orvo::platform
