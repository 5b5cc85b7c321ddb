// The standard streams as the command line uses them: standard input and
// output opened as the source and the target, the console's output moved to
// standard error, and whether a stream is a terminal.
#pragma once

namespace lumetra {

// True where the system gives standard input and output names under which
// they open as files (not on Windows).
[[nodiscard]] bool standard_streams_have_names() noexcept;

// The name under which standard input opens as a file; an empty name, which
// no file has, when it was closed when the program started.
[[nodiscard]] const char* standard_input_name() noexcept;

// Keeps standard output for data and puts standard error in its place, so
// that the console's output goes to standard error from then on. Returns the
// name under which the kept standard output opens as a file (its open file,
// shared with the shell); an empty name, which no file has, when standard
// output was closed when the program started. Call before the console's
// first use.
[[nodiscard]] const char* divert_standard_output() noexcept;

// True when standard output was kept for data and is a terminal: the
// console's output is then plain lines, as drawing at places on the screen
// would overwrite the data shown there.
[[nodiscard]] bool data_on_terminal() noexcept;

// True when standard input is a terminal and path names it, by any of its
// names (/dev/stdin, /dev/tty, /proc/self/fd/0, /dev/pts/N): the dialogue
// takes its keys from there, where a log is never typed.
[[nodiscard]] bool names_standard_input_terminal(const char* path) noexcept;

// True when standard input or standard error is a terminal (a console).
[[nodiscard]] bool standard_input_is_terminal() noexcept;
[[nodiscard]] bool standard_error_is_terminal() noexcept;
// The width in columns of the terminal (the console window) that standard
// error writes to; 0 when standard error is not a terminal, 80 when its
// width cannot be had.
[[nodiscard]] int standard_error_columns() noexcept;

}  // namespace lumetra
