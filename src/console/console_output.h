// Console output: the standard handles, colours, writing text to the screen
// with its own control characters, wrapping and scrolling, the cursor, and
// the console's device behind file number 0.
#pragma once

#include <cstdint>

#include "system/console_api.h"

namespace lumetra {

struct FileSlot;

// Flags of set_colours.
inline constexpr std::int32_t colours_keep_foreground = 1;
inline constexpr std::int32_t colours_keep_background = 2;
// Flag of console_write: do the cursor bookkeeping (a pending line wrap) even
// for a zero-length write.
inline constexpr std::int32_t console_write_settle = 8;

// The standard input handle (want_input) or the active page's output handle;
// takes them on the first call, switching processed input on.
HANDLE console_handle(bool want_input) noexcept;
// True when the handle is not a console (GetConsoleMode fails on it).
[[nodiscard]] bool handle_is_redirected(bool want_input) noexcept;

// Sets foreground and background colour numbers (0..15, taken by their low
// four bits) unless the flags keep them; returns the previous colours, the
// foreground in the low 16 bits and the background in the high 16 bits.
std::int32_t set_colours(std::int32_t foreground, std::int32_t background, std::int32_t flags) noexcept;

// Writes bytes to the console: unchanged when standard output is not a
// console; otherwise at the cursor, with bell, backspace, tab, line feed and
// carriage return interpreted, wrapping at the right edge and scrolling at the
// bottom. Failures are not reported.
std::int32_t console_write(const char* text, std::int32_t length, std::int32_t flags) noexcept;

// Columns and rows of the console view (80 and 25 when there is no view);
// either pointer may be null.
void console_size(std::int32_t* columns, std::int32_t* rows) noexcept;
// The cursor's column and row, 1-based within the view; 0 when the console
// cannot be read.
[[nodiscard]] std::int32_t cursor_column() noexcept;
[[nodiscard]] std::int32_t cursor_row() noexcept;
// Places the cursor (row and column 1-based within the view, 0 keeps the
// current one) and shows it (1), hides it (0) or leaves it (-1). Records and
// returns 1 for a place outside the text lines or columns, leaving the cursor
// alone with packed 0; else 0, with packed = column & 255, plus (row & 255) *
// 256, plus 65536 when the cursor was visible before.
std::int32_t set_cursor_position(std::int32_t row, std::int32_t column, std::int32_t visibility,
                                 std::int32_t* packed) noexcept;

// Prepares the console's file slot once, and installs console_device_write as
// its write operation whenever that is missing. Runs before every print.
void prepare_console_slot() noexcept;
// The console device's write operation: console_write, then error 0.
std::int32_t console_device_write(FileSlot& slot, const char* bytes, std::int32_t length) noexcept;

// Clears the console state (start-up).
void reset_console_state() noexcept;
// Registers the console's start-up with the layers below it: the runtime
// clears the console state at its first initialisation, and every print
// runs prepare_console_slot first. Call at start-up, after the file layer's
// registration.
void register_console_steps() noexcept;

}  // namespace lumetra
