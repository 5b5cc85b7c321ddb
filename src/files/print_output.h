// Print output to numbered files and the console: text items with their
// endings (nothing, a line end, the next print zone), and the core write that
// keeps the print column.
#pragma once

#include <cstdint>
#include <string_view>

#include "files/file_slots.h"
#include "text/text.h"

namespace lumetra {

// Ending codes of a print item; a line end wins when several bits are set.
inline constexpr std::int32_t ending_none = 0;
inline constexpr std::int32_t ending_line = 1;
inline constexpr std::int32_t ending_zone = 2;
inline constexpr std::int32_t ending_line_too = 4;  // also a line end

inline constexpr std::uint32_t print_zone_width = 14;

// Every print first runs the console's preparation of its slot (prepared
// once, the console able to write). Printing to a number that is not open
// writes nothing and records error 1; the outcome of the last write is the
// current error number. Nothing is flushed after a print.

// The console layer, above this one, installs its preparation at start-up
// (register_console_steps in console/console_output.h); until then prints
// prepare nothing, and the console's number is not open.
using ConsoleSlotPreparer = void (*)() noexcept;
void set_console_slot_preparer(ConsoleSlotPreparer prepare) noexcept;

// Prints the text's bytes (nothing for an empty or absent text), then the
// ending. Consumes a temporary text.
void print_text(FileNumber number, TextArg text, std::int32_t ending) noexcept;
// Line end "\r\n" for codes with bit 1 or 4, else the next print zone for
// bit 2, else nothing.
void print_ending(FileNumber number, std::int32_t ending) noexcept;
void print_ending(FileSlot* slot, std::int32_t ending) noexcept;
// Prints zero-terminated bytes (bytes may be null), then the ending.
void print_plain_text(FileNumber number, const char* bytes, std::int32_t ending) noexcept;
// Writes bytes at the current position with column tracking; error 1 for no
// slot or a free slot, else the write's result (3 for a short write).
std::int32_t print_bytes(FileSlot* slot, const char* bytes, std::int32_t length) noexcept;
// Writes whole lines (the bytes end with a line end) straight to a disk
// file. When the file takes only part of them, it is cut back to the end of
// the last whole line that reached it and takes no more output. Error 1 for
// a number that names no open disk file, 3 when not all reached the file.
std::int32_t file_write_lines(FileNumber number, std::string_view lines) noexcept;
// Moves to the next print zone (zones start every 14 columns): writes 1 to 14
// spaces, or "\r\n" when the next zone would not fit the slot's width.
void print_next_zone(FileSlot* slot) noexcept;

// Writes length units (bytes, or 16-bit units with wide) at 1-based position
// (0 = where it is), emptying the put-back buffer first. For random-access
// files with record_fill the rest of the record is skipped, and a length
// other than the record length gives error 3. With column, the print column
// of the slot (or of the slot its column is shared with) follows the data:
// the units after the last CR or LF, taken modulo the width when it is set;
// a failed write leaves it. Errors: 1 for no slot, a free slot, a negative
// position or a device without the write operation; that of setting the
// position; the device's (3 for a short write).
std::int32_t file_put(FileSlot* slot, std::int64_t position, const void* data, std::int32_t length, bool record_fill,
                      bool column, bool wide) noexcept;

}  // namespace lumetra
