// Detached threads on Win32: the name the system shows and the stack reserved.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#include "platform/thread.hpp"
#include "platform/win32.hpp"

namespace orvo::platform {
namespace {

struct SeenByTheThread {
  std::wstring name;
  std::size_t stack_size = 0;
};

SeenByTheThread look_around() {
  SeenByTheThread seen;
  using GetThreadDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
  const auto get_description =
      reinterpret_cast<GetThreadDescription>(reinterpret_cast<void*>(::GetProcAddress(
          ::GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
  PWSTR name = nullptr;
  if (get_description != nullptr && SUCCEEDED(get_description(::GetCurrentThread(), &name))) {
    seen.name = name;
    ::LocalFree(name);
  }
  ULONG_PTR low = 0;
  ULONG_PTR high = 0;
  ::GetCurrentThreadStackLimits(&low, &high);
  seen.stack_size = high - low;
  return seen;
}

TEST(ThreadWinTest, RunsWithItsNameAndTheReservedStack) {
  for (const std::string name : {"orvo-download", ""}) {
    SCOPED_TRACE(name);
    std::promise<SeenByTheThread> promise;
    std::future<SeenByTheThread> future = promise.get_future();
    core::Result<void> started = start_detached_thread(
        [promise = std::move(promise)]() mutable { promise.set_value(look_around()); }, name);
    ASSERT_TRUE(started) << started.error().chain_text();
    ASSERT_EQ(future.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    const SeenByTheThread seen = future.get();
    EXPECT_EQ(seen.name, std::wstring(name.begin(), name.end()));
    EXPECT_GE(seen.stack_size, kThreadStackSize);
  }
}

}  // namespace
}  // namespace orvo::platform
