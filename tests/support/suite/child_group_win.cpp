#include <windows.h>
#include <gtest/gtest.h>

#include "support/suite/child_group.hpp"
#include "support/suite/command_line_win.hpp"

namespace orvo::test {

// The child runs in a job of its own, which every process it starts joins;
// ending the job ends them all.
struct ChildGroup::Child {
  HANDLE job = nullptr;
  HANDLE process = nullptr;
};

ChildGroup::ChildGroup(const std::filesystem::path& program, const std::vector<std::string>& args)
    : child_(std::make_unique<Child>()) {
  child_->job = ::CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE nothing = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       &inherit, OPEN_EXISTING, 0, nullptr);
  std::wstring line = command_line(program, args);
  STARTUPINFOW startup = standard_handles(nothing, nothing);
  PROCESS_INFORMATION process{};
  // Suspended until it is in the job, so that nothing it starts escapes it.
  const bool started =
      child_->job != nullptr &&
      ::SetInformationJobObject(child_->job, JobObjectExtendedLimitInformation, &limits,
                                sizeof limits) &&
      ::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE,
                       CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  const DWORD start_error = ::GetLastError();
  if (nothing != INVALID_HANDLE_VALUE) ::CloseHandle(nothing);
  if (!started) {
    ADD_FAILURE() << "cannot start " << program << ": Windows error " << start_error;
    return;
  }
  child_->process = process.hProcess;
  if (!::AssignProcessToJobObject(child_->job, process.hProcess)) {
    ADD_FAILURE() << "cannot put " << program << " in a job: Windows error " << ::GetLastError();
    ::TerminateProcess(process.hProcess, 1);
  }
  ::ResumeThread(process.hThread);
  ::CloseHandle(process.hThread);
}

ChildGroup::~ChildGroup() {
  kill();
  if (child_->job != nullptr) ::CloseHandle(child_->job);
}

bool ChildGroup::exited() {
  if (child_->process == nullptr) return true;
  if (::WaitForSingleObject(child_->process, 0) != WAIT_OBJECT_0) return false;
  kill();  // what the child started may still run
  return true;
}

void ChildGroup::kill() {
  if (child_->process == nullptr) return;
  ::TerminateJobObject(child_->job, 1);
  ::WaitForSingleObject(child_->process, INFINITE);
  ::CloseHandle(child_->process);
  child_->process = nullptr;
}

}  // namespace orvo::test
