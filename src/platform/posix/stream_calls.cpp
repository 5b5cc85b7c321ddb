// The stream's system calls over POSIX file descriptors.
#include "platform/stream_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace lumetra {

namespace {

// Repeats a system call that a signal interrupted. Never used for close():
// the descriptor is gone after an interrupted close on Linux.
template <typename Call>
auto retry_on_interrupt(Call call) noexcept {
  auto result = call();
  while (result == -1 && errno == EINTR) result = call();
  return result;
}

FileIdentity identity_of(const struct stat& info) noexcept {
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

int open_flags(OpenFlags flags) noexcept {
  int result = flags.read && flags.write ? O_RDWR : flags.write ? O_WRONLY : O_RDONLY;
  if (flags.create) result |= O_CREAT;
  if (flags.truncate) result |= O_TRUNC;
  if (flags.append) result |= O_APPEND;
  return result | O_CLOEXEC;
}

}  // namespace

int path_identity(const char* path, FileIdentity& identity) noexcept {
  struct stat info {};
  if (retry_on_interrupt([&] { return ::stat(path, &info); }) == -1) return errno;
  identity = identity_of(info);
  return 0;
}

int system_open(const char* path, OpenFlags flags, SystemFile& file, FileIdentity& identity) noexcept {
  const int fd = retry_on_interrupt([&] { return ::open(path, open_flags(flags), 0666); });
  if (fd == -1) return errno;
  struct stat info {};
  if (::fstat(fd, &info) == -1 || S_ISDIR(info.st_mode)) {
    const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
    ::close(fd);
    return error;
  }
  file = fd;
  identity = identity_of(info);
  return 0;
}

int system_read(SystemFile file, void* buffer, std::size_t size, std::size_t& got) noexcept {
  const ssize_t n = retry_on_interrupt([&] { return ::read(file, buffer, size); });
  got = n > 0 ? static_cast<std::size_t>(n) : 0;
  return n < 0 ? errno : 0;
}

int system_write(SystemFile file, const void* bytes, std::size_t size, std::size_t& put) noexcept {
  const ssize_t n = retry_on_interrupt([&] { return ::write(file, bytes, size); });
  put = n > 0 ? static_cast<std::size_t>(n) : 0;
  return n < 0 ? errno : 0;
}

int system_seek(SystemFile file, std::int64_t offset, bool from_end, std::int64_t& position) noexcept {
  const off_t reached = ::lseek(file, static_cast<off_t>(offset), from_end ? SEEK_END : SEEK_SET);
  if (reached == -1) return errno;
  position = static_cast<std::int64_t>(reached);
  return 0;
}

int system_length(SystemFile file, std::int64_t& length) noexcept {
  struct stat info {};
  if (::fstat(file, &info) == -1) return errno;
  length = static_cast<std::int64_t>(info.st_size);
  return 0;
}

int system_lock(SystemFile file, LockKind kind, std::int64_t offset, std::int64_t length) noexcept {
  struct flock range {};
  range.l_type = static_cast<short>(kind == LockKind::Exclusive ? F_WRLCK
                                    : kind == LockKind::Shared  ? F_RDLCK
                                                                : F_UNLCK);
  range.l_whence = SEEK_SET;
  range.l_start = static_cast<off_t>(offset);
  range.l_len = static_cast<off_t>(length);
  if (retry_on_interrupt([&] { return ::fcntl(file, F_SETLK, &range); }) == -1) return errno;
  return 0;
}

// Don't retry close on EINTR: Linux has released the descriptor already.
int system_close(SystemFile file) noexcept { return ::close(file) == -1 ? errno : 0; }

}  // namespace lumetra
