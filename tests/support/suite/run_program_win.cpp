#include <windows.h>
#include <gtest/gtest.h>

#include <thread>

#include "support/suite/command_line_win.hpp"
#include "support/suite/run_program.hpp"

namespace orvo::test {

namespace {

// The child's output comes through pipes, read to their end: the end comes
// when the last of the child's handles is closed, which under Wine can be
// after its process is seen to end. Files in a capture folder could not be
// removed until then, and stayed behind.
struct Pipe {
  HANDLE read = nullptr;
  HANDLE write = nullptr;
};

// The write end goes to the child; the read end stays here.
bool make_pipe(Pipe& pipe) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return ::CreatePipe(&pipe.read, &pipe.write, &inherit, 0) &&
         ::SetHandleInformation(pipe.read, HANDLE_FLAG_INHERIT, 0);
}

void close_handle(HANDLE& handle) {
  if (handle != nullptr) ::CloseHandle(handle);
  handle = nullptr;
}

std::string read_to_end(HANDLE pipe) {
  std::string bytes;
  char chunk[4096];
  DWORD count = 0;
  while (::ReadFile(pipe, chunk, sizeof chunk, &count, nullptr) && count > 0) {
    bytes.append(chunk, count);
  }
  return bytes;
}

}  // namespace

ProgramOutput run_program(const std::filesystem::path& program,
                          const std::vector<std::string>& args) {
  ProgramOutput output;
  Pipe out;
  Pipe err;
  const bool piped = make_pipe(out) && make_pipe(err);
  std::wstring line = command_line(program, args);
  STARTUPINFOW startup = standard_handles(out.write, err.write);
  PROCESS_INFORMATION process{};
  const bool started = piped && ::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr,
                                                 TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                                 &startup, &process);
  const DWORD start_error = ::GetLastError();
  close_handle(out.write);
  close_handle(err.write);
  if (started) {
    ::CloseHandle(process.hThread);
    // Both at once, so that a child that fills one pipe is not stopped
    // while the other is read.
    {
      const std::jthread err_reader([&] { output.err = read_to_end(err.read); });
      output.out = read_to_end(out.read);
    }
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (::GetExitCodeProcess(process.hProcess, &code)) output.exit_code = static_cast<int>(code);
    ::CloseHandle(process.hProcess);
  } else {
    ADD_FAILURE() << "cannot start " << program << ": Windows error " << start_error;
  }
  close_handle(out.read);
  close_handle(err.read);
  return output;
}

}  // namespace orvo::test
