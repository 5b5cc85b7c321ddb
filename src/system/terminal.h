// The terminal a console host draws on and reads keys from (POSIX): its
// size, waiting for its input, the controlling terminal, and whether the
// process has it in the foreground.
#pragma once

namespace lumetra {

// The size of the terminal on fd in columns and rows; false when fd is no
// terminal or it reports no size.
[[nodiscard]] bool terminal_size(int fd, int& columns, int& rows) noexcept;

// Waits until fd has input, at most timeout_ms (negative: without limit);
// true when it has.
[[nodiscard]] bool wait_until_readable(int fd, int timeout_ms) noexcept;

// Opens the process's controlling terminal (/dev/tty) for writing, or for
// reading too; -1 when there is none. close_terminal closes it.
[[nodiscard]] int open_controlling_terminal(bool reading) noexcept;
void close_terminal(int fd) noexcept;

// True when the process's group is the foreground group of the terminal on
// fd: it may take the terminal over.
[[nodiscard]] bool terminal_in_foreground(int fd) noexcept;

}  // namespace lumetra
