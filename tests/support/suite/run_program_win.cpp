#include <windows.h>
#include <gtest/gtest.h>

#include "support/fs/temp_dir.hpp"
#include "support/suite/command_line_win.hpp"
#include "support/suite/run_program.hpp"

namespace orvo::test {

namespace {

// A file the child writes its output to: inheritable, and shared so that the
// test reads it once the child is gone.
HANDLE output_file(const std::filesystem::path& path) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ProgramOutput run_program(const std::filesystem::path& program,
                          const std::vector<std::string>& args) {
  TempDir capture;
  const std::filesystem::path out_path = capture / "out";
  const std::filesystem::path err_path = capture / "err";
  ProgramOutput output;
  {
    const HANDLE out = output_file(out_path);
    const HANDLE err = output_file(err_path);
    std::wstring line = command_line(program, args);
    STARTUPINFOW startup = standard_handles(out, err);
    PROCESS_INFORMATION process{};
    const bool started = out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                         ::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                                          CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    const DWORD start_error = ::GetLastError();
    if (out != INVALID_HANDLE_VALUE) ::CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE) ::CloseHandle(err);
    if (!started) {
      ADD_FAILURE() << "cannot start " << program << ": Windows error " << start_error;
      return output;
    }
    ::CloseHandle(process.hThread);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (::GetExitCodeProcess(process.hProcess, &code)) output.exit_code = static_cast<int>(code);
    ::CloseHandle(process.hProcess);
  }
  output.out = read_file(out_path);
  output.err = read_file(err_path);
  return output;
}

}  // namespace orvo::test
