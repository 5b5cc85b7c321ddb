// The stream's system calls over Win32 file handles. Names arrive as UTF-8
// and are opened with the wide functions (path_names.h), a name that no
// plain file has as a missing file; files are shared for reading, writing
// and deleting, as POSIX files are.
#include "system/stream_calls.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <new>
#include <string>

#include "system/windows/path_names.h"
#include "system/windows/windows_headers.h"

namespace lumetra {

namespace {

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// ReadFile and WriteFile take 32-bit counts.
constexpr std::size_t largest_transfer = 1u << 30;

DWORD desired_access(OpenFlags flags) noexcept {
  DWORD access = FILE_READ_ATTRIBUTES;
  if (flags.read) access |= GENERIC_READ;
  if (flags.write) access |= flags.append ? FILE_APPEND_DATA : GENERIC_WRITE;
  return access;
}

DWORD disposition(OpenFlags flags) noexcept {
  if (flags.create) return flags.truncate ? CREATE_ALWAYS : OPEN_ALWAYS;
  return flags.truncate ? TRUNCATE_EXISTING : OPEN_EXISTING;
}

bool is_directory(const std::wstring& name) noexcept {
  const DWORD attributes = GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Volume serial number and file index: the same for every name of a file.
bool identity_of(::HANDLE handle, FileIdentity& identity) noexcept {
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileInformationByHandle(handle, &information) == 0) return false;
  identity.device = information.dwVolumeSerialNumber;
  identity.inode = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
  return true;
}

int last_errno() noexcept { return errno_of_windows_error(GetLastError()); }

OVERLAPPED at_offset(std::int64_t offset) noexcept {
  OVERLAPPED overlapped{};
  overlapped.Offset = static_cast<DWORD>(offset & 0xFFFF'FFFF);
  overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return overlapped;
}

}  // namespace

int errno_of_windows_error(DWORD error) noexcept {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_INVALID_HANDLE: return EBADF;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA: return EPIPE;
    case ERROR_NEGATIVE_SEEK:
    case ERROR_INVALID_PARAMETER: return EINVAL;
    default: return EIO;
  }
}

int path_identity(const char* path, FileIdentity& identity) noexcept {
  try {
    const std::wstring name = windows_path(path);
    if (name.empty()) return ENOENT;
    // Backup semantics: folders can be asked too.
    const ::HANDLE handle = CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, share_all, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return last_errno();
    const bool known = identity_of(handle, identity);
    const int error = known ? 0 : last_errno();
    CloseHandle(handle);
    return error;
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  }
}

bool is_standard_output_file(const char* path) noexcept {
  FileIdentity file;
  if (path_identity(path, file) != 0) return false;
  for (const DWORD stream : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    const ::HANDLE handle = GetStdHandle(stream);
    FileIdentity identity;
    if (identity_of(handle, identity) && identity == file) return true;
  }
  return false;
}

// A file that is emptied or appended to is shared for reading only while it
// is open: a second writer is refused (EBUSY) before it could empty it.
int system_open(const char* path, OpenFlags flags, SystemFile& file, FileIdentity& identity) noexcept {
  try {
    const std::wstring name = windows_path(path);
    if (name.empty()) return ENOENT;
    const bool sole_writer = flags.truncate || flags.append;
    const DWORD share = sole_writer ? FILE_SHARE_READ | FILE_SHARE_DELETE : share_all;
    const ::HANDLE handle = CreateFileW(name.c_str(), desired_access(flags), share, nullptr, disposition(flags),
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (is_directory(name)) return EISDIR;
      return sole_writer && error == ERROR_SHARING_VIOLATION ? EBUSY : errno_of_windows_error(error);
    }
    // Devices such as the console have no file index: they count as no file.
    if (!identity_of(handle, identity)) identity = {};
    file = handle_value(handle);
    return 0;
  } catch (const std::bad_alloc&) {
    return ENOMEM;
  }
}

int system_read(SystemFile file, void* buffer, std::size_t size, std::size_t& got) noexcept {
  ::DWORD read = 0;
  got = 0;
  if (::ReadFile(value_handle(file), buffer, static_cast<DWORD>(std::min(size, largest_transfer)), &read, nullptr) ==
      0) {
    const DWORD error = GetLastError();
    return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? 0 : errno_of_windows_error(error);  // the end
  }
  got = read;
  return 0;
}

int system_write(SystemFile file, const void* bytes, std::size_t size, std::size_t& put) noexcept {
  ::DWORD written = 0;
  put = 0;
  if (::WriteFile(value_handle(file), bytes, static_cast<DWORD>(std::min(size, largest_transfer)), &written, nullptr) ==
      0) {
    return last_errno();
  }
  put = written;
  return 0;
}

// Windows pipes give no such promise, and no signal cuts a write short there.
std::size_t system_atomic_write_size(SystemFile) noexcept { return 0; }

int system_seek(SystemFile file, std::int64_t offset, bool from_end, std::int64_t& position) noexcept {
  LARGE_INTEGER distance{};
  distance.QuadPart = offset;
  LARGE_INTEGER reached{};
  if (SetFilePointerEx(value_handle(file), distance, &reached, from_end ? FILE_END : FILE_BEGIN) == 0) {
    return last_errno();
  }
  position = reached.QuadPart;
  return 0;
}

int system_position(SystemFile file, std::int64_t& position) noexcept {
  LARGE_INTEGER reached{};
  if (SetFilePointerEx(value_handle(file), LARGE_INTEGER{}, &reached, FILE_CURRENT) == 0) return last_errno();
  position = reached.QuadPart;
  return 0;
}

int system_length(SystemFile file, std::int64_t& length) noexcept {
  LARGE_INTEGER size{};
  if (GetFileSizeEx(value_handle(file), &size) == 0) return last_errno();
  length = size.QuadPart;
  return 0;
}

// Pipes and devices have no file information.
bool system_is_regular(SystemFile file) noexcept {
  BY_HANDLE_FILE_INFORMATION information{};
  return GetFileInformationByHandle(value_handle(file), &information) != 0 &&
         (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

int system_truncate(SystemFile file, std::int64_t length) noexcept {
  std::int64_t reached = 0;
  if (const int error = system_seek(file, length, false, reached); error != 0) return error;
  return SetEndOfFile(value_handle(file)) != 0 ? 0 : last_errno();
}

// Reads and writes of disk files and pipes are not cut short on Windows.
void system_stop_blocking(SystemFile) noexcept {}

int system_lock(SystemFile file, LockKind kind, std::int64_t offset, std::int64_t length) noexcept {
  OVERLAPPED overlapped = at_offset(offset);
  const auto low = static_cast<DWORD>(length & 0xFFFF'FFFF);
  const auto high = static_cast<DWORD>(length >> 32);
  const ::HANDLE handle = value_handle(file);
  if (kind == LockKind::Unlock) return UnlockFileEx(handle, 0, low, high, &overlapped) != 0 ? 0 : last_errno();
  DWORD flags = LOCKFILE_FAIL_IMMEDIATELY;
  if (kind == LockKind::Exclusive) flags |= LOCKFILE_EXCLUSIVE_LOCK;
  return LockFileEx(handle, flags, 0, low, high, &overlapped) != 0 ? 0 : last_errno();
}

int system_close(SystemFile file) noexcept { return CloseHandle(value_handle(file)) != 0 ? 0 : last_errno(); }

}  // namespace lumetra
