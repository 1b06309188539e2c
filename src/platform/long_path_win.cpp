#include "platform/long_path_win.hpp"

#include <string_view>
#include <vector>

#include "platform/win32.hpp"

namespace orvo::platform {
namespace {

constexpr std::wstring_view kVerbatim = L"\\\\?\\";
constexpr std::wstring_view kVerbatimShare = L"\\\\?\\UNC\\";

bool is_separator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool is_drive_letter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// The end of the share in "\\server\share...", counted from the start.
std::size_t share_end(std::wstring_view path, std::size_t server) {
  std::size_t at = server;
  for (int part = 0; part < 2; ++part) {
    while (at < path.size() && is_separator(path[at])) ++at;
    while (at < path.size() && !is_separator(path[at])) ++at;
  }
  return at;
}

// The length of the root of a system path: "\\?\C:\", "\\?\UNC\server\share"
// or the first element after "\\?\" or "\\.\".
std::size_t system_root_length(std::wstring_view system) {
  if (system.starts_with(kVerbatimShare)) return share_end(system, kVerbatimShare.size());
  if (system.size() >= 6 && system[5] == L':') return system.size() > 6 ? 7 : 6;
  std::size_t at = kVerbatim.size();
  while (at < system.size() && !is_separator(system[at])) ++at;
  return at;
}

// The full path as the system resolves it, names rewritten as Win32 does.
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

}  // namespace

std::wstring system_path(const std::filesystem::path& path) {
  std::wstring given = path.native();
  if (given.empty() || given.starts_with(kVerbatim) || given.starts_with(L"\\\\.\\")) return given;
  const bool share = given.size() >= 2 && is_separator(given[0]) && is_separator(given[1]);
  const bool drive = given.size() >= 3 && is_drive_letter(given[0]) && given[1] == L':' &&
                     is_separator(given[2]);
  if (!share && !drive) {
    // Relative, drive-relative ("C:x") or rooted ("\x"): only the part that
    // names no entry goes through the system's resolution, against its
    // current folder.
    std::size_t prefix = 0;
    if (given.size() >= 2 && is_drive_letter(given[0]) && given[1] == L':') {
      prefix = 2;
    } else if (!given.empty() && is_separator(given[0])) {
      prefix = 1;
    }
    const std::wstring base = full_path(prefix == 0 ? std::wstring(L".") : given.substr(0, prefix));
    // Without a base of either form the path is left for the call to refuse.
    const bool base_share = base.size() >= 2 && is_separator(base[0]) && is_separator(base[1]);
    if (!base_share && !(base.size() >= 3 && base[1] == L':')) return given;
    given = base + L"\\" + given.substr(prefix);
  }
  const std::size_t root_end = share ? share_end(given, 2) : 3;
  std::wstring result = share ? std::wstring(kVerbatimShare) + given.substr(2, root_end - 2)
                              : std::wstring(kVerbatim) + given.substr(0, 2) + L"\\";
  std::vector<std::wstring_view> elements;
  const std::wstring_view rest = std::wstring_view(given).substr(root_end);
  for (std::size_t at = 0; at < rest.size();) {
    std::size_t end = at;
    while (end < rest.size() && !is_separator(rest[end])) ++end;
    const std::wstring_view element = rest.substr(at, end - at);
    if (element == L"..") {
      if (!elements.empty()) elements.pop_back();
    } else if (!element.empty() && element != L".") {
      elements.push_back(element);
    }
    at = end + 1;
  }
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (share || i > 0) result += L'\\';
    result += elements[i];
  }
  return result;
}

std::wstring system_parent(const std::wstring& system) {
  const std::size_t root = system_root_length(system);
  if (system.size() <= root) return {};
  std::size_t end = system.rfind(L'\\');
  if (end == std::wstring::npos || end < root) end = root;
  return system.substr(0, end);
}

std::wstring plain_path(const std::wstring& system) {
  if (system.starts_with(kVerbatimShare)) return L"\\\\" + system.substr(kVerbatimShare.size());
  if (system.starts_with(kVerbatim)) return system.substr(kVerbatim.size());
  return system;
}

}  // namespace orvo::platform
