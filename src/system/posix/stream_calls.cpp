// The stream's system calls over POSIX file descriptors; the reads and
// writes are in descriptor_transfers.cpp.
#include "system/stream_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "system/descriptors.h"
#include "system/posix/posix_internal.h"

namespace lumetra {

namespace {

// Emptying is left to lock_for_writing, once the lock is held.
int open_flags(OpenFlags flags) noexcept {
  int result = flags.read && flags.write ? O_RDWR : flags.write ? O_WRONLY : O_RDONLY;
  if (flags.create) result |= O_CREAT;
  if (flags.append) result |= O_APPEND;
  return result | O_CLOEXEC;
}

// Locks a regular file for writing and, when asked to, empties it and starts
// at its beginning. A lock held by another run refuses it (EBUSY) before
// anything is lost; where the system has no such locks, the file is written
// all the same. An open file of our own takes a lock of the open file
// (F_OFD_SETLK), which refuses every other open file, of this process too,
// and ends with it. An open file shared with others (a standard stream the
// shell opened) would keep such a lock after a killed run and share it with
// a second run on it: there the lock is the process's record lock (F_SETLK),
// which refuses every other process and ends with this one.
int lock_for_writing(int fd, bool shared, bool empty) noexcept {
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  const int command = shared ? F_SETLK : F_OFD_SETLK;
  if (retry_on_interrupt([&] { return ::fcntl(fd, command, &whole); }) == -1 && (errno == EAGAIN || errno == EACCES))
    return EBUSY;
  if (!empty) return 0;
  // A file that is empty already is not emptied again: ext4 takes a file cut
  // to nothing for one being replaced and writes all of it out when it is
  // closed, which holds up the end of a run into a new target.
  struct stat info {};
  const bool holds_bytes = ::fstat(fd, &info) == -1 || info.st_size != 0;
  if (holds_bytes && ::ftruncate(fd, 0) == -1) return errno;
  return ::lseek(fd, 0, SEEK_SET) == -1 ? errno : 0;
}

// The descriptor a name stands for: /dev/stdin, /dev/stdout, /dev/stderr,
// /dev/fd/N; -1 for every other name.
int named_descriptor(std::string_view path) noexcept {
  constexpr std::string_view standard[] = {"/dev/stdin", "/dev/stdout", "/dev/stderr"};
  for (int fd = 0; fd < 3; ++fd) {
    if (path == standard[fd]) return fd;
  }
  constexpr std::string_view numbered = "/dev/fd/";
  if (!path.starts_with(numbered) || path.size() == numbered.size() || path.size() > numbered.size() + 9) return -1;
  int fd = 0;
  for (const char digit : path.substr(numbered.size())) {
    if (digit < '0' || digit > '9') return -1;
    fd = fd * 10 + (digit - '0');
  }
  return fd;
}

// A descriptor of the open file behind a standard stream or an inherited
// descriptor, sharing its position: what the shell wrote before the run and
// writes after it stays in order, and sockets, which have no name to be
// opened anew by, work too. Refused (EBADF) when it is closed or not open
// for the access asked for.
int duplicate_descriptor(int fd, OpenFlags flags) noexcept {
  const int status = ::fcntl(fd, F_GETFL);
  const int access = status & O_ACCMODE;
  if (status == -1 || (flags.read && access == O_WRONLY) || (flags.write && access == O_RDONLY)) {
    errno = EBADF;
    return -1;
  }
  return ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
}

}  // namespace

int system_open(const char* path, OpenFlags flags, SystemFile& file, FileIdentity& identity) noexcept {
  const int named = named_descriptor(path);
  const int fd = named != -1 ? duplicate_descriptor(named, flags)
                             : retry_on_interrupt([&] { return ::open(path, open_flags(flags), 0666); });
  if (fd == -1) return errno;
  struct stat info {};
  int error = ::fstat(fd, &info) == -1 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
  if (error == 0 && (flags.truncate || flags.append) && S_ISREG(info.st_mode)) {
    error = lock_for_writing(fd, named != -1, flags.truncate);
  }
  if (error != 0) {
    ::close(fd);
    return error;
  }
  file = fd;
  identity = identity_of(fd, info);
  note_open_descriptor(fd, identity.socket);
  return 0;
}

int system_seek(SystemFile file, std::int64_t offset, bool from_end, std::int64_t& position) noexcept {
  const off_t reached = ::lseek(file, static_cast<off_t>(offset), from_end ? SEEK_END : SEEK_SET);
  if (reached == -1) return errno;
  position = static_cast<std::int64_t>(reached);
  return 0;
}

int system_position(SystemFile file, std::int64_t& position) noexcept {
  const off_t reached = ::lseek(file, 0, SEEK_CUR);
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

bool system_is_regular(SystemFile file) noexcept { return descriptor_kind(file) == FileKind::Regular; }

int system_truncate(SystemFile file, std::int64_t length) noexcept {
  return retry_on_interrupt([&] { return ::ftruncate(file, static_cast<off_t>(length)); }) == -1 ? errno : 0;
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

// The open file of a duplicated descriptor outlives this close: its blocking
// mode comes back here for those who share it, while its lock, the process's
// own, ends with the close. Don't retry close on EINTR: Linux has released
// the descriptor already.
int system_close(SystemFile file) noexcept {
  forget_descriptor(file);
  return ::close(file) == -1 ? errno : 0;
}

}  // namespace lumetra
