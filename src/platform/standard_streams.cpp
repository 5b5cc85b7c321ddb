// The standard streams over their descriptors.
#include "platform/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/fd_io.h"

namespace lumetra {
namespace {

bool data_terminal = false;

}  // namespace

const char* divert_standard_output() noexcept {
  static char name[32] = "";
  const int kept = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  if (kept >= 0) std::snprintf(name, sizeof name, "/dev/fd/%d", kept);
  data_terminal = kept >= 0 && isatty(kept) != 0;
  if (dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    // No standard error: the console's output goes nowhere rather than into the data.
    const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nowhere > STDOUT_FILENO) {
      (void)dup2(nowhere, STDOUT_FILENO);
      close(nowhere);
    }
  }
  return name;
}

bool data_on_terminal() noexcept { return data_terminal; }

bool standard_input_is_terminal() noexcept { return isatty(STDIN_FILENO) != 0; }

bool standard_error_is_terminal() noexcept { return isatty(STDERR_FILENO) != 0; }

void write_standard_output(std::string_view bytes) noexcept { (void)write_all(STDOUT_FILENO, bytes); }

}  // namespace lumetra
