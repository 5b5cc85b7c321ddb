// Writes all count bytes to fd, as many write(2) calls as it takes; false
// when one fails. For the benchmark's own copy programs.
#pragma once

#include <unistd.h>

#include <cstddef>

inline bool write_all(int fd, const void* bytes, std::size_t count) {
  const char* next = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t done = ::write(fd, next, count);
    if (done <= 0) return false;
    next += done;
    count -= static_cast<std::size_t>(done);
  }
  return true;
}
