// The standard input stream, read through the C library's buffered stream.
#include "platform/standard_input.h"

#include <cstdio>

namespace lumetra {

std::int32_t read_standard_input(char* destination, std::int32_t count) noexcept {
  if (count <= 0) return 0;
  return static_cast<std::int32_t>(std::fread(destination, 1, static_cast<std::size_t>(count), stdin));
}

}  // namespace lumetra
