#include "platform/win32.hpp"
#include "support/host/window_picture.hpp"

#include <zlib.h>

#include <array>
#include <fstream>
#include <string_view>

namespace orvo::test {
namespace {

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void put_chunk(std::vector<std::uint8_t>& out, std::string_view type,
               const std::vector<std::uint8_t>& data) {
  put_u32(out, static_cast<std::uint32_t>(data.size()));
  std::vector<std::uint8_t> body(type.begin(), type.end());
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  put_u32(out, static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

}  // namespace

bool save_png(const Picture& picture, const std::filesystem::path& path) {
  if (picture.width <= 0 || picture.height <= 0 ||
      picture.rgb.size() != static_cast<std::size_t>(picture.width) * picture.height * 3) {
    return false;
  }
  // Each row starts with filter type 0 (none).
  const std::size_t row = static_cast<std::size_t>(picture.width) * 3;
  std::vector<std::uint8_t> raw;
  raw.reserve((row + 1) * picture.height);
  for (int y = 0; y < picture.height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), picture.rgb.begin() + y * row, picture.rgb.begin() + (y + 1) * row);
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> packed(packed_size);
  if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()), 6) != Z_OK) {
    return false;
  }
  packed.resize(packed_size);

  std::vector<std::uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  put_u32(header, static_cast<std::uint32_t>(picture.width));
  put_u32(header, static_cast<std::uint32_t>(picture.height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, no filter choice, no interlace
  put_chunk(file, "IHDR", header);
  put_chunk(file, "IDAT", packed);
  put_chunk(file, "IEND", {});
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  return static_cast<bool>(out.flush());
}


Picture picture_of_window(void* window) {
  RECT bounds{};
  if (GetWindowRect(static_cast<HWND>(window), &bounds) == FALSE) return {};
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  if (width <= 0 || height <= 0) return {};
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof(format.bmiHeader);
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;  // top-down rows
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
  Picture picture;
  if (bitmap != nullptr) {
    HGDIOBJ previous = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, width, height, screen, bounds.left, bounds.top, SRCCOPY) != FALSE) {
      picture.width = width;
      picture.height = height;
      picture.rgb.reserve(static_cast<std::size_t>(width) * height * 3);
      const auto* pixels = static_cast<const std::uint8_t*>(bits);
      for (std::size_t i = 0; i < static_cast<std::size_t>(width) * height; ++i) {
        // BGRX in memory.
        picture.rgb.push_back(pixels[i * 4 + 2]);
        picture.rgb.push_back(pixels[i * 4 + 1]);
        picture.rgb.push_back(pixels[i * 4 + 0]);
      }
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return picture;
}

}  // namespace orvo::test
