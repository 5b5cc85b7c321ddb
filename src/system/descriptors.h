// Reads and writes on file descriptors that retry after EINTR.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string_view>

namespace lumetra {

// One write; the count written (possibly short) or -1 with errno set.
ssize_t write_once(int fd, const void* bytes, std::size_t size) noexcept;
// Writes everything unless an error stops it; true when all was written.
// Async-signal-safe.
bool write_all(int fd, std::string_view bytes) noexcept;
// One read; the count read, 0 at end of input, or -1 with errno set.
ssize_t read_once(int fd, void* buffer, std::size_t size) noexcept;

}  // namespace lumetra
