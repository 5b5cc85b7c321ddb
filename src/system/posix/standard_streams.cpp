// The standard streams over their descriptors; /dev/stdin and /dev/fd/N
// name them as files.
#include "system/standard_streams.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

#include "system/file_identity.h"
#include "system/posix/posix_internal.h"

namespace lumetra {
namespace {

bool data_terminal = false;

}  // namespace

bool standard_streams_have_names() noexcept { return true; }

// A stream that was closed at start names no file: it holds /dev/null since,
// which would take the records or give an empty log as if all went well.
const char* standard_input_name() noexcept { return standard_descriptor_was_closed(STDIN_FILENO) ? "" : "/dev/stdin"; }

const char* divert_standard_output() noexcept {
  static char name[32] = "";
  const int kept =
      standard_descriptor_was_closed(STDOUT_FILENO) ? -1 : fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
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

bool names_standard_input_terminal(const char* path) noexcept {
  FileIdentity file;
  FileIdentity input;
  return isatty(STDIN_FILENO) != 0 && path_identity(path, file) == 0 && descriptor_identity(STDIN_FILENO, input) == 0 &&
         file == input;
}

bool standard_input_is_terminal() noexcept { return isatty(STDIN_FILENO) != 0; }

bool standard_error_is_terminal() noexcept { return isatty(STDERR_FILENO) != 0; }

int standard_error_columns() noexcept {
  if (!standard_error_is_terminal()) return 0;
  winsize size{};
  return ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

}  // namespace lumetra
