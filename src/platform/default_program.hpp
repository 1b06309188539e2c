// Opening a file with the program the desktop associates with it.
#pragma once

#include <filesystem>

namespace orvo::platform {

// The outcome is not reported: a missing file or association changes nothing.
void open_with_default_program(const std::filesystem::path& file);

}  // namespace orvo::platform
