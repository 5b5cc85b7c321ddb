// Reads and writes on file descriptors that retry after EINTR.
#include "system/descriptors.h"

#include <unistd.h>

#include <cerrno>

namespace lumetra {

ssize_t write_once(int fd, const void* bytes, std::size_t size) noexcept {
  ssize_t n = 0;
  do {
    n = ::write(fd, bytes, size);
  } while (n < 0 && errno == EINTR);
  return n;
}

bool write_all(int fd, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const ssize_t n = write_once(fd, bytes.data(), bytes.size());
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

ssize_t read_once(int fd, void* buffer, std::size_t size) noexcept {
  ssize_t n = 0;
  do {
    n = ::read(fd, buffer, size);
  } while (n < 0 && errno == EINTR);
  return n;
}

}  // namespace lumetra
