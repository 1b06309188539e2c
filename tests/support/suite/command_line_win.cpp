#include "support/suite/command_line_win.hpp"

#include "platform/wide_text_win.hpp"

namespace orvo::test {

namespace {

// Backslashes count only before a quote: there each is doubled, and the quote
// is escaped; elsewhere they are taken as they are.
void append_quoted(std::wstring& line, std::wstring_view word) {
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : word) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

}  // namespace

std::wstring command_line(const std::filesystem::path& program,
                          const std::vector<std::string>& args) {
  std::wstring line;
  append_quoted(line, program.wstring());
  for (const std::string& arg : args) {
    line += L' ';
    append_quoted(line, platform::wide_text(arg));
  }
  return line;
}

STARTUPINFOW standard_handles(HANDLE out, HANDLE err) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  return startup;
}

}  // namespace orvo::test
