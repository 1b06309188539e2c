#include "platform/random_access_file.hpp"

#include "platform/long_path_win.hpp"
#include "platform/os_error.hpp"
#include "platform/win32.hpp"

namespace orvo::platform {

core::Result<RandomAccessFile> RandomAccessFile::open(const std::filesystem::path& path) {
  NativeFile handle(::CreateFileW(system_path(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) return std::unexpected(last_os_error());
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(handle.get(), &size)) return std::unexpected(last_os_error());
  return RandomAccessFile(std::move(handle), size.QuadPart > 0 ? static_cast<std::uint64_t>(size.QuadPart) : 0);
}

core::Result<std::size_t> RandomAccessFile::read_at(std::uint64_t offset,
                                                    std::span<std::byte> buffer) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  const DWORD wanted = buffer.size() > MAXDWORD ? MAXDWORD : static_cast<DWORD>(buffer.size());
  DWORD count = 0;
  if (!::ReadFile(handle_.get(), buffer.data(), wanted, &count, &at)) {
    if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
    return std::unexpected(last_os_error());
  }
  return count;
}

}  // namespace orvo::platform
