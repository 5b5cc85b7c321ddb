// Reads and writes on the C runtime's descriptors, which the emulated console
// of the unit tests writes through. No signal interrupts them on Windows.
#include "system/descriptors.h"

#include <io.h>
#include <sys/stat.h>

namespace lumetra {

std::ptrdiff_t write_once(int fd, const void* bytes, std::size_t size) noexcept {
  return ::_write(fd, bytes, static_cast<unsigned>(size));
}

std::ptrdiff_t read_once(int fd, void* buffer, std::size_t size) noexcept {
  return ::_read(fd, buffer, static_cast<unsigned>(size));
}

bool descriptor_is_terminal(int fd) noexcept { return ::_isatty(fd) != 0; }

FileKind descriptor_kind(int fd) noexcept {
  struct _stat64 status {};
  if (::_fstat64(fd, &status) != 0) return FileKind::Unknown;
  if ((status.st_mode & _S_IFMT) == _S_IFREG) return FileKind::Regular;
  if ((status.st_mode & _S_IFMT) == _S_IFCHR) return FileKind::Character;
  return (status.st_mode & _S_IFMT) == _S_IFIFO ? FileKind::Pipe : FileKind::Unknown;
}

}  // namespace lumetra
