// Console line input: a prompted line read with the line editor (or in the
// terminal's line mode, or taken from redirected standard input), and the
// fields read from it.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace lumetra {

struct FileSlot;

// A field holds at most this many bytes.
inline constexpr std::int32_t field_size = 4096;

// Shows the prompt (consumed; none when absent), "? " when question_mark is
// set, reads a line with the editor and prints a line end when line_end is
// set. When standard output is a terminal the console cannot draw on (or
// another character device), the line is read in the terminal's own line
// mode instead, whose echo of Enter ends the line on screen. With redirected
// standard input, only consumes the prompt and points the input source at
// standard input, whose first call skips a UTF-8 byte order mark at its
// start. Records and returns 0, or 4 when no temporary could hold the line.
std::int32_t ask_line(TextArg prompt, bool question_mark, bool line_end) noexcept;

// Reads the next field of the input source into target by the field rules:
// leading blanks skipped, a field in double quotes may hold blanks and
// commas, a comma, CR, LF or the end of the input ends the field (in
// redirected input also a Ctrl+Z, which ends all later fields too), at most
// field_size bytes kept (the rest of the field is read and dropped), stored
// up to the first zero byte. Records and returns 0.
std::int32_t read_text_field(Text& target) noexcept;

// True when standard input is not a console.
[[nodiscard]] bool input_redirected() noexcept;

// The console slot's read operation while standard input is redirected:
// reads up to *count bytes from standard input, zero-fills the rest, sets
// *count to the number delivered. Always 0.
std::int32_t read_redirected_bytes(FileSlot& slot, char* destination, std::int32_t* count) noexcept;

}  // namespace lumetra
