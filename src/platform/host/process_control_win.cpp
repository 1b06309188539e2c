#include "platform/host/process_control.hpp"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/long_path_win.hpp"
#include "platform/os_error.hpp"
#include "platform/win32.hpp"

namespace orvo::platform {
namespace {

std::unexpected<core::Error> failure() { return std::unexpected(last_os_error()); }

// Inheritable copies of this process's standard handles, the only handles the
// child inherits: without the list it would also get every inheritable handle
// the process holds, curl's sockets among them.
class InheritedHandles {
 public:
  InheritedHandles() {
    const HANDLE self = ::GetCurrentProcess();
    for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
      const HANDLE given = ::GetStdHandle(which);
      HANDLE copy = nullptr;
      if (given != nullptr && given != INVALID_HANDLE_VALUE &&
          ::DuplicateHandle(self, given, self, &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
        copies_.emplace_back(copy);
      } else {
        copies_.emplace_back();
      }
    }
    for (const KernelHandle& copy : copies_) {
      if (copy.valid()) list_.push_back(copy.get());
    }
  }

  HANDLE standard(std::size_t index) const { return copies_[index].get(); }
  bool empty() const { return list_.empty(); }
  std::vector<HANDLE>& list() { return list_; }

 private:
  std::vector<KernelHandle> copies_;
  std::vector<HANDLE> list_;
};

// The attribute list that limits inheritance to the handles given.
class HandleListAttribute {
 public:
  explicit HandleListAttribute(std::vector<HANDLE>& handles) {
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_ = std::make_unique<std::byte[]>(size);
    auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.get());
    if (!::InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
    initialised_ = true;
    if (!::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles.data(),
                                     handles.size() * sizeof(HANDLE), nullptr, nullptr)) {
      return;
    }
    list_ = list;
  }
  HandleListAttribute(const HandleListAttribute&) = delete;
  HandleListAttribute& operator=(const HandleListAttribute&) = delete;
  ~HandleListAttribute() {
    if (initialised_) {
      ::DeleteProcThreadAttributeList(reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.get()));
    }
  }

  // Null when the list could not be made.
  LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

 private:
  std::unique_ptr<std::byte[]> storage_;
  bool initialised_ = false;
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

core::Result<std::uint32_t> exit_code(const Process& process) {
  DWORD code = 0;
  if (!::GetExitCodeProcess(process.handles().process.get(), &code)) return failure();
  return code;
}

constexpr std::size_t kLongestWorkingFolder = MAX_PATH - 2;

// The program's path in a form CreateProcessW starts: the plain one while it
// fits in MAX_PATH, the "\\?\" form past that, which CreateProcessW takes as a
// long-path-aware program's.
std::wstring startable_path(const std::filesystem::path& program) {
  const std::wstring system = system_path(program);
  const std::wstring plain = plain_path(system);
  return plain.size() < MAX_PATH ? plain : system;
}

}  // namespace

core::Result<Process> start_process(const std::filesystem::path& program,
                                    const std::filesystem::path& working_folder) {
  // A process's working folder ends in a separator and fits in MAX_PATH with
  // its terminator, whatever the program's own path may reach.
  const std::wstring folder = plain_path(system_path(working_folder));
  if (folder.size() > kLongestWorkingFolder) {
    return std::unexpected(os_error(ERROR_FILENAME_EXCED_RANGE).wrap("Working folder path is too long"));
  }
  const std::wstring application = startable_path(program);
  std::wstring command_line = L"\"" + application + L"\"";

  InheritedHandles inherited;
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = inherited.standard(0);
  startup.StartupInfo.hStdOutput = inherited.standard(1);
  startup.StartupInfo.hStdError = inherited.standard(2);
  std::optional<HandleListAttribute> attribute;
  DWORD flags = CREATE_UNICODE_ENVIRONMENT;
  if (!inherited.empty()) {
    attribute.emplace(inherited.list());
    if (attribute->get() == nullptr) return failure();
    startup.lpAttributeList = attribute->get();
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }
  PROCESS_INFORMATION started{};
  if (!::CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr,
                        inherited.empty() ? FALSE : TRUE, flags, nullptr, folder.c_str(),
                        &startup.StartupInfo, &started)) {
    return failure();
  }
  ProcessHandles handles;
  handles.id = started.dwProcessId;
  handles.process.reset(started.hProcess);
  handles.thread.reset(started.hThread);
  return Process(std::move(handles));
}

std::uint32_t process_id(const Process& process) { return process.handles().id; }

core::Result<std::optional<std::uint32_t>> exit_code_if_ended(const Process& process) {
  switch (::WaitForSingleObject(process.handles().process.get(), 0)) {
    case WAIT_TIMEOUT:
      return std::nullopt;
    case WAIT_OBJECT_0:
      return exit_code(process);
    default:
      return failure();
  }
}

core::Result<void> end_process(const Process& process, std::uint32_t code) {
  if (!::TerminateProcess(process.handles().process.get(), code)) return failure();
  return {};
}

core::Result<std::uint32_t> wait_for_exit(const Process& process) {
  if (::WaitForSingleObject(process.handles().process.get(), INFINITE) != WAIT_OBJECT_0) {
    return failure();
  }
  return exit_code(process);
}

}  // namespace orvo::platform
