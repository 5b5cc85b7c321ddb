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

// Emptying is left to lock_and_empty, once the lock is held.
int open_flags(OpenFlags flags) noexcept {
  int result = flags.read && flags.write ? O_RDWR : flags.write ? O_WRONLY : O_RDONLY;
  if (flags.create) result |= O_CREAT;
  if (flags.append) result |= O_APPEND;
  return result | O_CLOEXEC;
}

// Locks a regular file for writing and empties it. A lock held by another
// open file refuses it (EBUSY) before anything is lost; where the system has
// no such locks, the file is emptied all the same.
int lock_and_empty(int fd) noexcept {
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  if (retry_on_interrupt([&] { return ::fcntl(fd, F_OFD_SETLK, &whole); }) == -1 &&
      (errno == EAGAIN || errno == EACCES)) {
    return EBUSY;
  }
  return ::ftruncate(fd, 0) == -1 ? errno : 0;
}

}  // namespace

int path_identity(const char* path, FileIdentity& identity) noexcept {
  struct stat info {};
  if (retry_on_interrupt([&] { return ::stat(path, &info); }) == -1) return errno;
  identity = identity_of(info);
  return 0;
}

bool is_standard_output_file(const char* path) noexcept {
  struct stat file {};
  if (::stat(path, &file) == -1 || !S_ISREG(file.st_mode)) return false;
  for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
    struct stat stream {};
    if (::fstat(fd, &stream) == 0 && identity_of(stream) == identity_of(file)) return true;
  }
  return false;
}

int system_open(const char* path, OpenFlags flags, SystemFile& file, FileIdentity& identity) noexcept {
  const int fd = retry_on_interrupt([&] { return ::open(path, open_flags(flags), 0666); });
  if (fd == -1) return errno;
  struct stat info {};
  int error = ::fstat(fd, &info) == -1 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
  if (error == 0 && flags.truncate && S_ISREG(info.st_mode)) error = lock_and_empty(fd);
  if (error != 0) {
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

bool system_is_regular(SystemFile file) noexcept {
  struct stat info {};
  return ::fstat(file, &info) == 0 && S_ISREG(info.st_mode);
}

int system_truncate(SystemFile file, std::int64_t length) noexcept {
  return retry_on_interrupt([&] { return ::ftruncate(file, static_cast<off_t>(length)); }) == -1 ? errno : 0;
}

void system_stop_blocking(SystemFile file) noexcept {
  const int flags = ::fcntl(file, F_GETFL);
  if (flags != -1) (void)::fcntl(file, F_SETFL, flags | O_NONBLOCK);
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
