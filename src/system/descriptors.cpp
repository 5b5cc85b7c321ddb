// Whole writes over the system's single ones.
#include "system/descriptors.h"

namespace lumetra {

bool write_all(int fd, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const std::ptrdiff_t n = write_once(fd, bytes.data(), bytes.size());
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace lumetra
