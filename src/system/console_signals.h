// The signals of a console's terminal. On POSIX, before main: SIGPIPE and
// SIGXFSZ are ignored (a write to a closed pipe, or beyond the file-size
// limit, fails instead of ending the process), the terminal restore is
// registered to run after every exit handler the program adds, and when a
// terminal is involved SIGHUP, SIGWINCH, SIGTSTP and SIGCONT are blocked and
// taken by a control thread, which tells the console through its hooks. On
// SIGTSTP the terminal is restored before the process stops; on SIGCONT (and
// after its own stop) the console takes it over again.
#pragma once

namespace lumetra {

// What the console that shows on the terminal hears from the control thread
// (POSIX). Each hook runs on that thread; a null hook: nothing to do.
struct ConsoleSignalHooks {
  // The terminal's size changed (SIGWINCH). Async-signal-safe.
  void (*resized)() noexcept = nullptr;
  // Restores the terminal before the process stops, so that the shell gets
  // it back as it handed it over; without a hook the terminal is restored all
  // the same.
  void (*stopping)() = nullptr;
  // The process continues: the console takes the terminal over again.
  void (*continued)() = nullptr;
  // The terminal is gone: the console's control handlers hear
  // CTRL_CLOSE_EVENT.
  void (*closing)() = nullptr;
};
// The console's hooks, kept for the life of the process.
void set_console_signal_hooks(const ConsoleSignalHooks& hooks) noexcept;

// The terminal is gone (hang-up, end of input): runs the closing hook,
// restores the terminal and ends the process as on a termination request
// (SIGTERM to itself). Only the first call acts; a later one, from another
// thread, waits for the end of the process. POSIX.
void close_console();
// True once the console is being closed: its termination request is on the
// way and ends the process.
[[nodiscard]] bool console_closing() noexcept;

}  // namespace lumetra
