// Starting a program and following it to its end: whether it has exited and
// with which code, ending it, and waiting for it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "base/error.hpp"
#include "platform/process.hpp"

namespace orvo::platform {

// Starts the program without arguments in working_folder, with this process's
// environment and standard handles and no other open descriptor. Relative
// paths, of the program as of the folder, are taken from this process's
// working folder. Fails with the operating-system error, also when the
// program or the folder is missing.
core::Result<Process> start_process(const std::filesystem::path& program,
                                    const std::filesystem::path& working_folder);

// The system's id of the process.
std::uint32_t process_id(const Process& process);

// Nothing while the process runs; its exit code once it has ended, as often as
// asked. On POSIX a process ended by a signal reports 128 plus the signal
// number, as shells do (137 for SIGKILL).
core::Result<std::optional<std::uint32_t>> exit_code_if_ended(const Process& process);

// Ends the process at once. The exit code is the one it reports afterwards on
// Windows; a POSIX signal cannot carry one, so there it reports 137.
core::Result<void> end_process(const Process& process, std::uint32_t exit_code);

// Waits for the process to end and gives its exit code.
core::Result<std::uint32_t> wait_for_exit(const Process& process);

}  // namespace orvo::platform
