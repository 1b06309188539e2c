// Paths as the Win32 file calls take them. A "\\?\" path reaches past
// MAX_PATH and is taken literally: no trailing dot or space is dropped and no
// name is read as a device. Every name the launcher passes on was listed or
// made by the system, so it must reach the system exactly as it is; only "."
// and ".." elements and separators are resolved here, as text.
#pragma once

#include <filesystem>
#include <string>

namespace orvo::platform {

// The full path in the "\\?\" form ("\\?\UNC\" for a share) with every name
// as given, without trailing separators except at a root.
std::wstring system_path(const std::filesystem::path& path);

// A system path without its last element; empty at a root.
std::wstring system_parent(const std::wstring& system);

// A system path in the form other programs show: without "\\?\" ("\\" for a
// share).
std::wstring plain_path(const std::wstring& system);

}  // namespace orvo::platform
