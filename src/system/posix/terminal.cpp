// The terminal host's terminal over POSIX calls.
#include "system/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace lumetra {

bool terminal_size(int fd, int& columns, int& rows) noexcept {
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) return false;
  columns = size.ws_col;
  rows = size.ws_row;
  return true;
}

bool wait_until_readable(int fd, int timeout_ms) noexcept {
  pollfd poll_fd{fd, POLLIN, 0};
  return poll(&poll_fd, 1, timeout_ms) > 0;
}

int open_controlling_terminal(bool reading) noexcept {
  return open("/dev/tty", (reading ? O_RDWR : O_WRONLY) | O_NOCTTY | O_CLOEXEC);
}

void close_terminal(int fd) noexcept { close(fd); }

bool terminal_in_foreground(int fd) noexcept { return tcgetpgrp(fd) == getpgrp(); }

}  // namespace lumetra
