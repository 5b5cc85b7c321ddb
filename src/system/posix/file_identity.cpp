// Which file a path or a descriptor is, and whether a path names the file
// that standard output or standard error writes to.
#include "system/file_identity.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

#include "system/posix/posix_internal.h"

namespace lumetra {
namespace {

// The device of /dev/tty, which stands for the controlling terminal of
// whoever opens it.
const dev_t controlling_terminal = makedev(5, 0);

// /dev/tty is the terminal it stands for. Opening it leaves that terminal as
// it is: it is open already, as the controlling terminal.
FileIdentity controlling_terminal_identity(const char* path, const struct stat& info) noexcept {
  const int fd = ::open(path, O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  const FileIdentity identity = identity_of(fd, info);
  if (fd != -1) ::close(fd);
  return identity;
}

}  // namespace

// A character device is known by its device number rather than by the node
// it is opened through, and a terminal by the device behind the descriptor
// (TIOCGDEV, in the encoding of st_rdev), so that every name of one terminal
// is one file. No file has inode 0.
FileIdentity identity_of(int fd, const struct stat& info) noexcept {
  if (!S_ISCHR(info.st_mode)) {
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino), S_ISSOCK(info.st_mode)};
  }
  unsigned int terminal = 0;
  const bool known = fd != -1 && ::isatty(fd) != 0 && ::ioctl(fd, TIOCGDEV, &terminal) == 0;
  return {known ? static_cast<std::uint64_t>(terminal) : static_cast<std::uint64_t>(info.st_rdev), 0, false};
}

int descriptor_identity(int fd, FileIdentity& identity) noexcept {
  struct stat info {};
  if (::fstat(fd, &info) == -1) return errno;
  identity = identity_of(fd, info);
  return 0;
}

int path_identity(const char* path, FileIdentity& identity) noexcept {
  struct stat info {};
  if (retry_on_interrupt([&] { return ::stat(path, &info); }) == -1) return errno;
  const bool stands_for_terminal = S_ISCHR(info.st_mode) && info.st_rdev == controlling_terminal;
  identity = stands_for_terminal ? controlling_terminal_identity(path, info) : identity_of(-1, info);
  return 0;
}

// Any kind of file: a pipe or a socket, a terminal, by any of their names
// (/dev/stdout, /dev/fd/1, /proc/self/fd/1, /dev/pts/N). The null device
// keeps nothing, so nothing written there can mix.
bool is_standard_output_file(const char* path) noexcept {
  FileIdentity file;
  FileIdentity null_device;
  if (path_identity(path, file) != 0) return false;
  if (path_identity("/dev/null", null_device) == 0 && file == null_device) return false;
  for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
    FileIdentity stream;
    if (descriptor_identity(fd, stream) == 0 && stream == file) return true;
  }
  return false;
}

}  // namespace lumetra
