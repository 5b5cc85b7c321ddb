// The standard input stream, read as the bytes of its descriptor without a
// buffer in between: what follows the names stays in standard input for
// whoever reads it next (a source named /dev/stdin, the next command).
#include "system/standard_input.h"

#include <unistd.h>

#include "system/descriptors.h"

namespace lumetra {

std::int32_t read_standard_input(char* destination, std::int32_t count) noexcept {
  std::int32_t done = 0;
  while (done < count) {
    const std::ptrdiff_t got = read_once(STDIN_FILENO, destination + done, static_cast<std::size_t>(count - done));
    if (got <= 0) break;  // the end, or a failure that ends the input all the same
    done += static_cast<std::int32_t>(got);
  }
  return done;
}

}  // namespace lumetra
