// Process services over the C library and POSIX.
#include "platform/process.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace lumetra {

void register_exit_handler(void (*handler)()) noexcept { std::atexit(handler); }

void exit_process(std::int32_t code) noexcept { std::exit(code); }

void write_standard_error(std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const ssize_t written = ::write(STDERR_FILENO, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;  // nothing more can be done about a failing standard error
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace lumetra
