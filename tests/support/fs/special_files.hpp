// Entries that are neither plain files nor folders, and files that cannot be
// read, for tests of code that must refuse them or never read them.
#pragma once

#include <filesystem>
#include <functional>

namespace orvo::test {

void make_fifo(const std::filesystem::path& path);
// A Unix-domain socket bound at the path (the socket itself is closed again).
void make_socket(const std::filesystem::path& path);

// Runs body on a thread of its own on which file permissions hold even when
// the tests run as root (the permission-override capabilities are dropped for
// that thread only), so that a file with mode 000 really cannot be opened.
// On Windows a read-only file holds for everyone: body just runs.
void run_bound_by_permissions(const std::function<void()>& body);

// The system's error code for an entry that is already there (EEXIST,
// ERROR_ALREADY_EXISTS), for the expected texts of platform::os_error.
extern const int kEntryExistsCode;

}  // namespace orvo::test
