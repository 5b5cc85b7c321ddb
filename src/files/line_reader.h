// Reading from numbered files: the end-of-file test, reading one line into a
// text, reading bytes through the put-back buffer, setting the read position,
// and appending to a text.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "files/file_slots.h"
#include "stream/crt_stream.h"
#include "text/text.h"

namespace lumetra {

// Size of the chunk a disk line is read in: each read delivers at most one
// byte less.
inline constexpr std::int32_t line_chunk_size = 512;

// ---- Lines -------------------------------------------------------------------

// -1 when the file is at its end (also for a number that is not open), else
// 0. Bytes waiting in the put-back buffer are not the end. Records nothing.
[[nodiscard]] std::int32_t file_at_end(FileNumber number) noexcept;

// True when a read of the disk file failed: its input ended by a failure,
// not at its end. Records nothing.
[[nodiscard]] bool file_read_failed(FileNumber number) noexcept;

// Reads one line without its line end (LF, or CR LF) into destination; at the
// end of the file the destination becomes empty. Error 1 (destination
// untouched) for a number that is not open or a device that cannot read
// lines; error 4 (destination empty) for a line that gets no memory or is
// longer than a text holds; else 0, also at the end and after a read
// failure, which ends the input (the line it cut reads as empty).
std::int32_t file_read_line(FileNumber number, Text& destination) noexcept;
// The next line of an input file when the file is not at its end and the
// line lies whole in the stream's buffer: the text file_read_line would read,
// as a view that lives until the next operation on the file. False, with
// nothing read, otherwise; file_read_line then reads the line.
[[nodiscard]] bool file_take_buffered_line(FileNumber number, std::string_view& line) noexcept;
// The whole lines at hand in the buffer of an input file that is not at its
// end, for a reader that splits them itself: each line is the bytes before
// an LF, and its text, without up to two CR before the LF, is the one
// file_read_line would read. Empty when there are none; file_read_line then
// reads on. Nothing is taken until file_skip_buffered takes the bytes of the
// lines used. The view lives until the next operation on the file.
[[nodiscard]] std::string_view file_buffered_lines(FileNumber number) noexcept;
void file_skip_buffered(FileNumber number, std::size_t count) noexcept;
// The size of an input file's buffer (setvbuf), while it holds no bytes
// (before the first read): a reader of many lines reads in larger pieces.
// Error 1 for a number that is not an open input file or whose buffer holds
// bytes, 4 when the memory cannot be had (the buffer stays as it was); else
// 0.
std::int32_t file_set_read_buffer(FileNumber number, std::size_t size) noexcept;
// The same into a fixed buffer: at most destination.size() - 1 bytes and a
// zero byte; with fill, every byte behind is zero too.
std::int32_t file_read_line(FileNumber number, std::span<char> destination, bool fill) noexcept;

// Reads one line from a stream into destination in chunks of up to 511
// bytes. The line ends at an LF (a CR before it is dropped too), or at a CR
// that is the input's last byte; a CR followed by anything else stays in the
// line, and so do zero bytes, except those at the end of a 511-byte piece
// without a line end. Returns 0 when a line end was found, 3 when a read
// delivered nothing (end of input) or failed: then the text gathered so far
// stays, or the destination is emptied when nothing was read or a failing
// read cut the line. 4 (destination empty) when the line does not fit.
// Records the result.
std::int32_t read_stream_line(CrtStream& stream, Text& destination) noexcept;

// ---- Bytes -------------------------------------------------------------------

// Reads *count units (bytes, or 16-bit units with wide) into destination at
// 1-based position (0 = where it is), from the put-back buffer first, then
// from the device; *count becomes the number delivered. Errors: 1 for a free
// slot, a negative position or a missing read operation; that of setting the
// position; 3 for a random-access file with record_fill when the count is
// not the record length (the rest of the record is skipped all the same).
std::int32_t file_get(FileSlot& slot, std::int64_t position, void* destination, std::int32_t* count, bool record_fill,
                      bool wide) noexcept;
// Hands count bytes back so that they are read again first, in their order,
// before bytes handed back earlier. Error 1 for a free slot, 3 when the four
// bytes of the buffer would overflow (nothing stored); else 0.
std::int32_t file_put_back(FileSlot& slot, const char* bytes, std::int32_t count) noexcept;
// Moves to 1-based position (in records for random-access files) and empties
// the put-back buffer. Error 1 for a free slot or a device without seek; the
// device's error (3) when positioning fails; else 0.
std::int32_t file_set_position(FileSlot& slot, std::int64_t position) noexcept;

// ---- Appending ---------------------------------------------------------------

// Appends the source's bytes to the text and returns it. A temporary source is
// consumed. When memory runs out the text stays as it was.
Text& append_text(Text& destination, TextArg source) noexcept;
// Appends to the zero-terminated bytes of a fixed buffer, keeping at most
// size - 1 bytes in all and a zero byte; with fill, the bytes behind are
// zeroed up to the size.
std::span<char> append_text(std::span<char> destination, TextArg source, bool fill) noexcept;

}  // namespace lumetra
