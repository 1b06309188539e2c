#include "platform/wide_text_win.hpp"

#include <climits>

#include "platform/win32.hpp"

namespace orvo::platform {
namespace {

// The conversions take int lengths; longer text is not something the
// launcher ever converts, and is cut rather than wrapped around.
int length_of(std::size_t size) { return size > INT_MAX ? INT_MAX : static_cast<int>(size); }

std::optional<std::string> to_utf8(std::wstring_view text, DWORD flags) {
  if (text.empty()) return std::string();
  const int length = length_of(text.size());
  const int size = ::WideCharToMultiByte(CP_UTF8, flags, text.data(), length, nullptr, 0,
                                         nullptr, nullptr);
  if (size <= 0) return std::nullopt;
  std::string result(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, flags, text.data(), length, result.data(), size, nullptr,
                        nullptr);
  return result;
}

}  // namespace

std::wstring wide_text(std::string_view text) {
  if (text.empty()) return {};
  const int length = length_of(text.size());
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (size <= 0) return {};
  std::wstring result(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), length, result.data(), size);
  return result;
}

std::string utf8_text(std::wstring_view text) { return to_utf8(text, 0).value_or(std::string()); }

std::optional<std::string> exact_utf8_text(std::wstring_view text) {
  return to_utf8(text, WC_ERR_INVALID_CHARS);
}

}  // namespace orvo::platform
