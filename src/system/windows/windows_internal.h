// Helpers shared by the Windows implementation files.
#pragma once

#include "system/console_api.h"

namespace lumetra {

// True once Ctrl+C or Ctrl+Break in the console has asked to end the program
// (signals.cpp).
[[nodiscard]] bool console_asked_to_end() noexcept;

// The program's console control handlers, called by the system's one
// (signals.cpp; SetConsoleCtrlHandler of console_api.h adds and removes
// them). Removing fails when the routine is not registered.
bool add_console_control_routine(PHANDLER_ROUTINE routine);
bool remove_console_control_routine(PHANDLER_ROUTINE routine) noexcept;

// The user's colours (user_console.cpp): the attribute the console shows
// for one the program gives, light grey and black standing for the colours
// the console had at start; and the program's reading of one the console
// shows.
[[nodiscard]] WORD shown_attribute(WORD attribute) noexcept;
[[nodiscard]] WORD program_attribute(WORD shown) noexcept;

}  // namespace lumetra
