// Paths as text. A name that is not text (invalid UTF-8 on POSIX, an unpaired
// surrogate on Windows) has no exact text form, only a display form.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orvo::platform {

// The path as UTF-8, or nullopt when it is not valid text.
std::optional<std::string> path_utf8(const std::filesystem::path& path);

// The path as UTF-8 with every invalid sequence shown as U+FFFD.
std::string path_display(const std::filesystem::path& path);

// The path that UTF-8 text names. A std::string turned into a path directly
// is read in the system's code page on Windows, not as UTF-8.
std::filesystem::path path_from_utf8(std::string_view text);

}  // namespace orvo::platform
