#include "platform/thread.hpp"

#include <memory>
#include <utility>

#include "platform/os_error.hpp"
#include "platform/wide_text_win.hpp"
#include "platform/win32.hpp"

namespace orvo::platform {
namespace {

struct ThreadStart {
  std::move_only_function<void()> body;
  std::string name;
};

DWORD WINAPI run_thread(void* argument) {
  std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(argument));
  // SetThreadDescription came with Windows 10 1607; without it the thread
  // simply runs unnamed.
  using SetThreadDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  static const auto set_description =
      reinterpret_cast<SetThreadDescription>(reinterpret_cast<void*>(::GetProcAddress(
          ::GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
  if (!start->name.empty() && set_description != nullptr) {
    set_description(::GetCurrentThread(), wide_text(start->name).c_str());
  }
  start->body();
  return 0;
}

}  // namespace

core::Result<void> start_detached_thread(std::move_only_function<void()> body, std::string name) {
  auto start = std::make_unique<ThreadStart>(std::move(body), std::move(name));
  HANDLE thread = ::CreateThread(nullptr, kThreadStackSize, run_thread, start.get(),
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) return core::fail(last_os_error());
  start.release();  // the new thread owns it now
  // Detached: nobody waits for the thread, so its handle is not kept.
  ::CloseHandle(thread);
  return {};
}

}  // namespace orvo::platform
