// Reads and writes on POSIX descriptors that retry after EINTR.
#include "system/descriptors.h"

#include <sys/stat.h>
#include <unistd.h>

#include "system/posix/posix_internal.h"

namespace lumetra {

std::ptrdiff_t write_once(int fd, const void* bytes, std::size_t size) noexcept {
  return retry_on_interrupt([&] { return ::write(fd, bytes, size); });
}

std::ptrdiff_t read_once(int fd, void* buffer, std::size_t size) noexcept {
  return retry_on_interrupt([&] { return ::read(fd, buffer, size); });
}

bool descriptor_is_terminal(int fd) noexcept { return ::isatty(fd) != 0; }

FileKind descriptor_kind(int fd) noexcept {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return FileKind::Unknown;
  if (S_ISREG(status.st_mode)) return FileKind::Regular;
  if (S_ISCHR(status.st_mode)) return FileKind::Character;
  return S_ISFIFO(status.st_mode) ? FileKind::Pipe : FileKind::Unknown;
}

}  // namespace lumetra
