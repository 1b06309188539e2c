// Pictures of a Win32 window as the screen shows it, saved as PNG files for
// people to look at (the window tests leave them in the build folder). On X11
// the screenshot tool beside this file does the same.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace orvo::test {

// Top-down rows of 8-bit RGB pixels.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

// Writes an 8-bit RGB PNG file; false when it cannot be written whole.
bool save_png(const Picture& picture, const std::filesystem::path& path);

// The screen's pixels under the window's rectangle, frame included: the
// window must be on top. Empty when the screen cannot be read.
Picture picture_of_window(void* window);

}  // namespace orvo::test
