#include "platform/env.hpp"

#include "platform/wide_text_win.hpp"
#include "platform/win32.hpp"

namespace orvo::platform {
namespace {

// The variable's value; nullopt when it is not set, which an empty value is not.
std::optional<std::wstring> variable(const char* name) {
  const std::wstring wide_name = wide_text(name);
  std::wstring value(64, L'\0');
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetEnvironmentVariableW(wide_name.c_str(), value.data(),
                                                   static_cast<DWORD>(value.size()));
    if (length == 0) {
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::wstring();
    }
    // Too small a buffer: the length asked for counts the terminating zero.
    if (length >= value.size()) {
      value.resize(length);
      continue;
    }
    value.resize(length);
    return value;
  }
}

}  // namespace

std::optional<std::filesystem::path> env_path(const char* name) {
  auto value = variable(name);
  if (!value) return std::nullopt;
  return std::filesystem::path(std::move(*value));
}

std::optional<std::string> env_text(const char* name) {
  auto value = variable(name);
  if (!value) return std::nullopt;
  return utf8_text(*value);
}

std::optional<std::filesystem::path> local_app_data_folder() { return env_path("LOCALAPPDATA"); }

std::filesystem::path temp_folder() {
  // GetTempPath2W (Windows 11, newer Windows 10) keeps SYSTEM processes out of
  // the shared folder; older systems have only GetTempPathW.
  using GetTempPath2 = DWORD(WINAPI*)(DWORD, LPWSTR);
  static const auto get_temp_path2 = reinterpret_cast<GetTempPath2>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetTempPath2W")));
  wchar_t buffer[MAX_PATH + 2] = {};
  const DWORD size = static_cast<DWORD>(std::size(buffer));
  const DWORD length = get_temp_path2 != nullptr ? get_temp_path2(size, buffer)
                                                 : ::GetTempPathW(size, buffer);
  if (length == 0 || length >= size) return std::filesystem::path(L"C:\\Windows\\Temp");
  return std::filesystem::path(std::wstring(buffer, length));
}

// The user's temporary folder is the user's own on Windows.
core::Result<std::filesystem::path> private_temp_folder() { return temp_folder(); }

}  // namespace orvo::platform
