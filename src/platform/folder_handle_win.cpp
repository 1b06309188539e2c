// Win32 opens nothing relative to a folder handle, so an entry of a held
// folder is opened by the joined path and checked once it is open: it must be
// no reparse point and lie on the held folder's volume. That is safe enough
// here because every folder is held without delete sharing: while a caller
// works below it, neither it nor any folder it was reached through can be
// renamed, removed or turned into a junction, so the joined path leads through
// the very folders held. The folders above the first one form the cache path,
// which the caller checks link-free before it walks.
#include "platform/folder_handle.hpp"

#include <cstddef>
#include <string_view>
#include <utility>

#include "platform/long_path_win.hpp"
#include "platform/os_error.hpp"
#include "platform/system_attributes_win.hpp"
#include "platform/win32.hpp"

namespace orvo::platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// The error a reparse point is refused with, as by the other file services.
constexpr DWORD kLinkRefused = ERROR_CANT_ACCESS_FILE;
// One listing call fills this much; the records hold 64-bit fields.
constexpr std::size_t kListingWords = 65536 / sizeof(std::uint64_t);

std::unexpected<core::Error> failure() { return std::unexpected(last_os_error()); }
std::unexpected<core::Error> failure(DWORD code) {
  return std::unexpected(os_error(static_cast<int>(code)));
}

struct Opened {
  NativeFile handle;
  DWORD volume = 0;
};

// Opens the entry itself (a reparse point is opened, not followed) and refuses
// a reparse point, a folder's non-folder and, when a volume is given, an entry
// on another volume.
Result<Opened> open_entry(const std::filesystem::path& path, DWORD access, DWORD share,
                          bool folder, const DWORD* volume) {
  const DWORD flags = FILE_FLAG_OPEN_REPARSE_POINT | (folder ? FILE_FLAG_BACKUP_SEMANTICS : 0);
  NativeFile handle(::CreateFileW(system_path(path).c_str(), access, share, nullptr,
                                  OPEN_EXISTING, flags, nullptr));
  if (!handle.valid()) return failure();
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle.get(), &info)) return failure();
  const EntryAttributes entry = entry_from_system(info.dwFileAttributes, 0);
  if (entry.is_reparse_point()) return failure(kLinkRefused);
  if (folder && !entry.is_directory()) return failure(ERROR_DIRECTORY);
  if (volume != nullptr && info.dwVolumeSerialNumber != *volume) {
    return failure(ERROR_NOT_SAME_DEVICE);
  }
  return Opened{std::move(handle), info.dwVolumeSerialNumber};
}

}  // namespace

Result<FolderHandle> FolderHandle::open(const std::filesystem::path& path) {
  auto opened = open_entry(path, kFolderAccess, kFolderShare, true, nullptr);
  if (!opened) return std::unexpected(std::move(opened).error());
  return FolderHandle(std::move(opened->handle), path, opened->volume);
}

Result<std::vector<FolderEntry>> FolderHandle::list() const {
  std::vector<FolderEntry> entries;
  std::vector<std::uint64_t> buffer(kListingWords);
  const auto buffer_bytes = static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t));
  // The held folder itself is listed, through its handle.
  for (FILE_INFO_BY_HANDLE_CLASS kind = FileFullDirectoryRestartInfo;;
       kind = FileFullDirectoryInfo) {
    if (!::GetFileInformationByHandleEx(handle_.get(), kind, buffer.data(), buffer_bytes)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_NO_MORE_FILES) return entries;
      if (kind == FileFullDirectoryRestartInfo) return failure(error);
      entries.push_back({std::unexpected(os_error(static_cast<int>(error)))});
      return entries;
    }
    const auto* bytes = reinterpret_cast<const std::byte*>(buffer.data());
    for (std::size_t offset = 0;;) {
      const auto* record = reinterpret_cast<const FILE_FULL_DIR_INFO*>(bytes + offset);
      const std::wstring_view name(record->FileName, record->FileNameLength / sizeof(wchar_t));
      if (name != L"." && name != L"..") entries.push_back({std::filesystem::path(name)});
      if (record->NextEntryOffset == 0) break;
      offset += record->NextEntryOffset;
    }
  }
}

Result<EntryAttributes> FolderHandle::entry_attributes(const std::filesystem::path& name) const {
  // Describes a reparse point itself, never its target; a volume mounted on a
  // folder is such a reparse point.
  return platform::entry_attributes(path_ / name);
}

Result<FolderHandle> FolderHandle::open_folder(const std::filesystem::path& name) const {
  const DWORD volume = static_cast<DWORD>(volume_);
  auto opened = open_entry(path_ / name, kFolderAccess, kFolderShare, true, &volume);
  if (!opened) return std::unexpected(std::move(opened).error());
  return FolderHandle(std::move(opened->handle), path_ / name, volume_);
}

Result<File> FolderHandle::open_file(const std::filesystem::path& name) const {
  const DWORD volume = static_cast<DWORD>(volume_);
  auto opened = open_entry(path_ / name, GENERIC_READ, kShareAll, false, &volume);
  if (!opened) return std::unexpected(std::move(opened).error());
  return File(std::move(opened->handle));
}

}  // namespace orvo::platform
