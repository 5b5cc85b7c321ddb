// Console signals. Before main: SIGPIPE is ignored (a write to a closed pipe
// fails instead of ending the process), the terminal restore is registered
// to run after every exit handler the program adds, and when a terminal is
// involved SIGHUP, SIGWINCH, SIGTSTP and SIGCONT are blocked and taken by a
// control thread. On SIGTSTP it restores the terminal before the process
// stops; on SIGCONT (and after its own stop) the console host takes the
// terminal over again.
#pragma once

namespace lumetra {

class ConsoleHost;

// True once after each change of the terminal's size.
[[nodiscard]] bool take_resize_request() noexcept;

// The host whose control handlers hear that the terminal is gone.
void watch_console_close(ConsoleHost* host) noexcept;

// The terminal is gone (hang-up, end of input): calls the control handlers
// with CTRL_CLOSE_EVENT, last registered first until one returns TRUE,
// restores the terminal and ends the process as on a termination request
// (SIGTERM to itself). Only the first call acts; a later one, from another
// thread, waits for the end of the process.
void close_console();
// True once the console is being closed: its termination request is on the
// way and ends the process.
[[nodiscard]] bool console_closing() noexcept;

}  // namespace lumetra
