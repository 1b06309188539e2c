#include "platform/fs.hpp"

#include <string>
#include <vector>

#include "platform/long_path_win.hpp"
#include "platform/os_error.hpp"
#include "platform/system_attributes_win.hpp"
#include "platform/win32.hpp"

namespace orvo::platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::unexpected<core::Error> failure() { return std::unexpected(last_os_error()); }
std::unexpected<core::Error> failure(DWORD code) {
  return std::unexpected(os_error(static_cast<int>(code)));
}

EntryAttributes from_attributes(DWORD attributes, DWORD size_high, DWORD size_low) {
  return entry_from_system(attributes, (static_cast<std::uint64_t>(size_high) << 32) | size_low);
}

Result<EntryAttributes> handle_attributes(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) return failure();
  return from_attributes(info.dwFileAttributes, info.nFileSizeHigh, info.nFileSizeLow);
}

Result<NativeFile> open_handle(const std::filesystem::path& path, DWORD access, DWORD share,
                               DWORD disposition, DWORD flags) {
  NativeFile handle(::CreateFileW(system_path(path).c_str(), access, share, nullptr, disposition,
                                  flags, nullptr));
  if (!handle.valid()) return failure();
  return handle;
}

// The longest path the system takes, in UTF-16 units.
constexpr std::size_t kLongestPath = 32768;

// A link where a plain entry is demanded is refused with this error.
constexpr DWORD kLinkRefused = ERROR_CANT_ACCESS_FILE;

// Deletes a file, clearing a read-only attribute that makes DeleteFileW refuse it.
bool delete_file(const std::wstring& path, DWORD attributes) {
  if (::DeleteFileW(path.c_str())) return true;
  if ((attributes & FILE_ATTRIBUTE_READONLY) == 0 || ::GetLastError() != ERROR_ACCESS_DENIED) {
    return false;
  }
  const DWORD error = ::GetLastError();
  if (!::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) ||
      !::DeleteFileW(path.c_str())) {
    ::SetLastError(error);
    return false;
  }
  return true;
}

void remove_entry(const std::wstring& path) noexcept {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    delete_file(path, attributes);
    return;
  }
  // A link to a folder is removed itself; what it leads to stays.
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    WIN32_FIND_DATAW found{};
    HANDLE find = ::FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &found,
                                     FindExSearchNameMatch, nullptr, 0);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring_view name(found.cFileName);
        if (name != L"." && name != L"..") remove_entry(path + L"\\" + found.cFileName);
      } while (::FindNextFileW(find, &found));
      ::FindClose(find);
    }
  }
  if (!::RemoveDirectoryW(path.c_str()) && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    ::RemoveDirectoryW(path.c_str());
  }
}

// The path of an open entry as its name on its volume, after the drive that
// volume is. Wine 8 answers GetFinalPathNameByHandleW for a path past MAX_PATH
// with ERROR_MORE_DATA whatever the buffer, and this is the same path. The
// drive the path was given on is tried first.
Result<std::wstring> name_on_drive(HANDLE handle, const std::wstring& given) {
  std::vector<std::uint64_t> buffer((sizeof(FILE_NAME_INFO) + kLongestPath * sizeof(wchar_t)) /
                                        sizeof(std::uint64_t) + 1);
  auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
  BY_HANDLE_FILE_INFORMATION about{};
  if (!::GetFileInformationByHandleEx(handle, FileNameInfo, info,
                                      static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t))) ||
      !::GetFileInformationByHandle(handle, &about)) {
    return failure();
  }
  const std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
  std::wstring letters = L"ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  if (given.size() > 5 && given[5] == L':') letters.insert(letters.begin(), given[4]);
  const DWORD drives = ::GetLogicalDrives();
  for (const wchar_t letter : letters) {
    const wchar_t upper = letter >= L'a' ? static_cast<wchar_t>(letter - L'a' + L'A') : letter;
    if (upper < L'A' || upper > L'Z' || (drives & (1U << (upper - L'A'))) == 0) continue;
    const std::wstring root{upper, L':', L'\\'};
    DWORD serial = 0;
    if (::GetVolumeInformationW(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0) &&
        serial == about.dwVolumeSerialNumber) {
      return L"\\\\?\\" + std::wstring{upper, L':'} + name;
    }
  }
  return failure(ERROR_PATH_NOT_FOUND);
}

}  // namespace

Result<EntryAttributes> entry_attributes(const std::filesystem::path& path) {
  // GetFileAttributesExW describes a reparse point itself, never its target.
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(system_path(path).c_str(), GetFileExInfoStandard, &data)) {
    return failure();
  }
  return from_attributes(data.dwFileAttributes, data.nFileSizeHigh, data.nFileSizeLow);
}

Result<EntryAttributes> followed_attributes(const std::filesystem::path& path) {
  auto handle = open_handle(path, FILE_READ_ATTRIBUTES, kShareAll, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS);
  if (!handle) return std::unexpected(std::move(handle).error());
  return handle_attributes(handle->get());
}

Result<void> create_folder(const std::filesystem::path& path) {
  if (!::CreateDirectoryW(system_path(path).c_str(), nullptr)) return failure();
  return {};
}

// The folder at a system path with every missing folder above it.
Result<void> create_system_folders(const std::wstring& target) {
  DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {};
    return failure(ERROR_ALREADY_EXISTS);
  }
  if (const std::wstring parent = system_parent(target); !parent.empty()) {
    if (auto made = create_system_folders(parent); !made) return made;
  }
  if (!::CreateDirectoryW(target.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
    return failure();
  }
  attributes = ::GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return failure();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return failure(ERROR_ALREADY_EXISTS);
  return {};
}

Result<void> create_folders(const std::filesystem::path& path) {
  if (path.empty()) return {};
  return create_system_folders(system_path(path));
}

Result<std::filesystem::path> canonical_path(const std::filesystem::path& path) {
  auto handle = open_handle(path, 0, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (!handle) return std::unexpected(std::move(handle).error());
  std::wstring final_path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(
        handle->get(), final_path.data(), static_cast<DWORD>(final_path.size()),
        FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    // Windows answers too small a buffer with the size it needs, Wine with
    // ERROR_MORE_DATA alone.
    if (length == 0 && ::GetLastError() == ERROR_MORE_DATA && final_path.size() < kLongestPath) {
      final_path.resize(final_path.size() * 2);
      continue;
    }
    if (length == 0 && ::GetLastError() == ERROR_MORE_DATA) {
      auto named = name_on_drive(handle->get(), system_path(path));
      if (!named) return std::unexpected(std::move(named).error());
      final_path = std::move(*named);
      break;
    }
    if (length == 0) return failure();
    if (length < final_path.size()) {
      final_path.resize(length);
      break;
    }
    final_path.resize(length);
  }
  // One form whatever the length, so that paths compare as text: the one
  // other programs and the log show. The file calls add "\\?\" again.
  return std::filesystem::path(plain_path(final_path));
}

Result<void> rename_no_replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (!::MoveFileExW(system_path(from).c_str(), system_path(to).c_str(), 0)) return failure();
  return {};
}

Result<void> rename_replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (!::MoveFileExW(system_path(from).c_str(), system_path(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING)) {
    return failure();
  }
  return {};
}

Result<void> remove_file(const std::filesystem::path& path) {
  const std::wstring target = system_path(path);
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return failure();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return failure(ERROR_ACCESS_DENIED);
  if (!delete_file(target, attributes)) return failure();
  return {};
}

void remove_tree(const std::filesystem::path& path) noexcept { remove_entry(system_path(path)); }

Result<std::vector<FolderEntry>> list_folder(const std::filesystem::path& path) {
  const std::wstring folder = system_path(path);
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return failure();
  const EntryAttributes entry = entry_from_system(attributes, 0);
  if (entry.is_reparse_point()) return failure(kLinkRefused);
  if (!entry.is_directory()) return failure(ERROR_DIRECTORY);
  WIN32_FIND_DATAW found{};
  HANDLE find = ::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                   FindExSearchNameMatch, nullptr, 0);
  std::vector<FolderEntry> entries;
  if (find == INVALID_HANDLE_VALUE) {
    // An empty drive root has not even "." and "..".
    if (::GetLastError() == ERROR_FILE_NOT_FOUND) return entries;
    return failure();
  }
  for (;;) {
    const std::wstring_view name(found.cFileName);
    if (name != L"." && name != L"..") entries.push_back({std::filesystem::path(found.cFileName)});
    if (!::FindNextFileW(find, &found)) {
      if (::GetLastError() != ERROR_NO_MORE_FILES) entries.push_back({std::unexpected(last_os_error())});
      break;
    }
  }
  ::FindClose(find);
  return entries;
}

Result<File> File::create_new(const std::filesystem::path& path, FileMode /*mode*/) {
  // CREATE_NEW fails on anything at the path; with FILE_FLAG_OPEN_REPARSE_POINT
  // a link there counts as something even when it leads nowhere. Whether a
  // file runs is its name's business on Windows, so the mode asks for nothing.
  auto handle = open_handle(path, GENERIC_WRITE, FILE_SHARE_READ, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT);
  if (!handle) return std::unexpected(std::move(handle).error());
  return File(std::move(*handle));
}

// Both opens take a folder too, as a POSIX open for reading does, so that the
// caller's check of what it opened, or the first read, refuses it as a folder.
Result<File> File::open_read(const std::filesystem::path& path) {
  auto handle =
      open_handle(path, GENERIC_READ, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS);
  if (!handle) return std::unexpected(std::move(handle).error());
  return File(std::move(*handle));
}

Result<File> File::open_read_entry(const std::filesystem::path& path) {
  auto handle = open_handle(path, GENERIC_READ, kShareAll, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT);
  if (!handle) return std::unexpected(std::move(handle).error());
  auto attributes = handle_attributes(handle->get());
  if (!attributes) return std::unexpected(std::move(attributes).error());
  if (attributes->is_reparse_point()) return failure(kLinkRefused);
  return File(std::move(*handle));
}

Result<File> File::open_append(const std::filesystem::path& path) {
  // FILE_APPEND_DATA and no FILE_WRITE_DATA: every write goes to the end,
  // whoever else writes. Reading is asked for the lock on the log, which
  // LockFileEx takes only through a handle that may read or write.
  auto handle = open_handle(path, FILE_APPEND_DATA | FILE_READ_DATA | SYNCHRONIZE, kShareAll,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  if (!handle) return std::unexpected(std::move(handle).error());
  return File(std::move(*handle));
}

Result<std::size_t> File::read(std::span<std::byte> buffer) {
  const DWORD wanted = buffer.size() > MAXDWORD ? MAXDWORD : static_cast<DWORD>(buffer.size());
  DWORD count = 0;
  if (!::ReadFile(handle_.get(), buffer.data(), wanted, &count, nullptr)) {
    if (::GetLastError() == ERROR_BROKEN_PIPE || ::GetLastError() == ERROR_HANDLE_EOF) return 0;
    return failure();
  }
  return count;
}

Result<void> File::write_all(std::span<const std::byte> bytes) {
  while (!bytes.empty()) {
    const DWORD wanted = bytes.size() > MAXDWORD ? MAXDWORD : static_cast<DWORD>(bytes.size());
    DWORD count = 0;
    if (!::WriteFile(handle_.get(), bytes.data(), wanted, &count, nullptr)) return failure();
    // A write that takes nothing would otherwise be repeated for ever.
    if (count == 0) {
      return std::unexpected(core::Error::io(core::IoKind::Other, "The write accepted no bytes"));
    }
    bytes = bytes.subspan(count);
  }
  return {};
}

Result<void> File::sync() {
  if (!::FlushFileBuffers(handle_.get())) return failure();
  return {};
}

Result<EntryAttributes> File::attributes() const { return handle_attributes(handle_.get()); }

Result<void> File::close() {
  HANDLE handle = handle_.release();
  if (!::CloseHandle(handle)) return failure();
  return {};
}

}  // namespace orvo::platform
