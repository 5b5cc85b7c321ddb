// Helpers shared by the Windows implementation files.
#pragma once

#include "system/console_api.h"
#include "system/process.h"

namespace lumetra {

// The handler the runtime installed for a signal number; null when none.
[[nodiscard]] SignalHandler installed_signal_handler(int signal_number) noexcept;
// Calls the runtime's handler for a signal from another thread as a signal
// would interrupt the main thread: the main thread is suspended while the
// handler runs (it ends the process, or returns when the request is held).
// One at a time.
void deliver_signal(int signal_number, SignalSource source = SignalSource::Inside) noexcept;

// The top-level exception filter, installed once: processor faults reach the
// handlers of the segmentation, floating-point and illegal-instruction
// signals; a stack overflow still finds stack to run them on.
void start_fault_handling() noexcept;
// The console control handler, installed once (see console_control.cpp).
void start_console_control() noexcept;
// True once Ctrl+C or Ctrl+Break in the console has asked to end the program.
[[nodiscard]] bool console_asked_to_end() noexcept;

// The user's colours (user_console.cpp): the attribute the console shows
// for one the program gives, light grey and black standing for the colours
// the console had at start; and the program's reading of one the console
// shows.
[[nodiscard]] WORD shown_attribute(WORD attribute) noexcept;
[[nodiscard]] WORD program_attribute(WORD shown) noexcept;

}  // namespace lumetra

namespace lumetra {

// The program's console control handlers, called by the system's one
// (SetConsoleCtrlHandler of console_api.h adds and removes them). Removing
// fails when the routine is not registered.
bool add_console_control_routine(PHANDLER_ROUTINE routine);
bool remove_console_control_routine(PHANDLER_ROUTINE routine) noexcept;

}  // namespace lumetra
