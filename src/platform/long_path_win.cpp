#include "platform/long_path_win.hpp"

#include "platform/win32.hpp"

namespace orvo::platform {

std::wstring full_path(const std::filesystem::path& path) {
  const std::wstring& given = path.native();
  if (given.empty()) return given;
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetFullPathNameW(given.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    // A path the system cannot resolve stays as given, for the call to refuse.
    if (length == 0) return given;
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.resize(length);
  }
}

std::wstring system_path(const std::filesystem::path& path) {
  const std::wstring& given = path.native();
  if (given.starts_with(L"\\\\?\\") || given.starts_with(L"\\\\.\\")) return given;
  std::wstring full = full_path(path);
  if (full.empty()) return full;
  // "C:\" keeps its separator: without it the name means the drive's current folder.
  const std::size_t root = full.starts_with(L"\\\\") ? 2 : 3;
  while (full.size() > root && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace orvo::platform
