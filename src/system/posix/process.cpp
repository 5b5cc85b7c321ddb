// Process services over POSIX: the standard descriptors and the end at once.
#include "system/process.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "system/descriptors.h"
#include "system/posix/posix_internal.h"

namespace lumetra {
namespace {

unsigned closed_at_start = 0;  // bit n: descriptor n was closed

}  // namespace

void open_closed_standard_descriptors() noexcept {
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    // The lowest free number is taken, so each closed one is filled in turn.
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      closed_at_start |= 1u << fd;
      (void)::open("/dev/null", O_RDWR);
    }
  }
}

bool standard_descriptor_was_closed(int fd) noexcept {
  return fd >= 0 && fd < 3 && (closed_at_start & (1u << fd)) != 0;
}

// Nothing more can be done about a failing standard error.
void write_standard_error(std::string_view bytes) noexcept { (void)write_all(STDERR_FILENO, bytes); }

// A standard output that was closed at start holds /dev/null since: what
// is written there is lost, as to a closed pipe.
bool write_standard_output(std::string_view bytes) noexcept {
  return !standard_descriptor_was_closed(STDOUT_FILENO) && write_all(STDOUT_FILENO, bytes);
}

void exit_immediately(std::int32_t code) noexcept { _exit(code); }

}  // namespace lumetra
