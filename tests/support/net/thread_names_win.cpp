#include <windows.h>
#include <tlhelp32.h>

#include "platform/wide_text_win.hpp"
#include "support/net/thread_names.hpp"

namespace orvo::test {

namespace {

// A thread's description, as SetThreadDescription gave it; empty where the
// system has no descriptions.
std::string description_of(DWORD thread_id) {
  using GetThreadDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
  static const auto get_description =
      reinterpret_cast<GetThreadDescription>(reinterpret_cast<void*>(::GetProcAddress(
          ::GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
  if (get_description == nullptr) return {};
  const HANDLE thread = ::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, thread_id);
  if (thread == nullptr) return {};
  std::string name;
  PWSTR text = nullptr;
  if (SUCCEEDED(get_description(thread, &text)) && text != nullptr) {
    name = platform::utf8_text(text);
    ::LocalFree(text);
  }
  ::CloseHandle(thread);
  return name;
}

}  // namespace

std::vector<std::string> thread_names() {
  std::vector<std::string> names;
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return names;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  const DWORD self = ::GetCurrentProcessId();
  for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == self) names.push_back(description_of(entry.th32ThreadID));
  }
  ::CloseHandle(snapshot);
  return names;
}

}  // namespace orvo::test
