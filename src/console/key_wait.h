// Keyboard events and key waits: moves the console's key events into the key
// buffer (with Alt + keypad digit composing), waits for keys, and turns a
// request to close the console into the key Alt+F4.
#pragma once

#include <cstdint>

#include "console/key_buffer.h"
#include "system/console_api.h"

namespace lumetra {

// The key that a close, logoff or shutdown request adds (Alt+F4).
inline constexpr KeyCode close_request_key = extended_key(0x6B);

// Moves pending console input events into the key buffer until it is full;
// the events after that stay queued. A failing PeekConsoleInputA (standard
// input is no console) counts as an empty queue.
// The first call installs console_close_handler and registers
// remove_close_handler with atexit.
void pump_console_events() noexcept;

// Waits for a key without taking it:
// -1        until a key has arrived since the last look (50 ms steps); returns
//           at once when standard input is no console, as no key can arrive;
// 100 up    in 50 ms steps while more than 50 ms are left, looking for a key
//           before each step, then sleeps the rest without looking;
// 0 to 99   sleeps that long, keys do not shorten it;
// other     returns at once.
void wait_for_key(std::int32_t milliseconds) noexcept;

// Console control handler: a close, logoff or shutdown request adds the key
// Alt+F4 and is handled (TRUE); every other type is left to the handlers
// installed before it (FALSE).
BOOL console_close_handler(DWORD control_type) noexcept;

// Exit step: removes console_close_handler if it was installed.
void remove_close_handler() noexcept;

}  // namespace lumetra
