// The record of a data line: a source line in, the bytes of its record out,
// without files, errors or memory of its own. A data line holds ";" and up
// to four fields: a time of day hhmmss and three values. Its record is
//   "$1;1;" seconds ";" value ";" value ";" value ";0" CR LF
// with blanks removed from the fields and "." turned into ",". Seconds are
// hh * 3600 + mm * 60 + ss, read from the first two, the third and fourth,
// and the last two bytes of the first field.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "records/plain_record.h"

namespace lumetra {

// Source lines reported with runtime errors of the conversion.
inline constexpr std::int32_t line_store_comma = 42;
inline constexpr std::int32_t line_store_byte = 44;

inline constexpr std::string_view record_head = "$1;1;";
inline constexpr std::string_view record_tail = ";0\r\n";

// The room that the record of a line of line_length bytes takes at most: the
// line plus head, seconds (11 bytes), the separators of missing fields and
// tail; and at least the room behind a plain record that make_plain_record
// writes.
[[nodiscard]] constexpr std::size_t record_room(std::size_t line_length) noexcept {
  return line_length + std::max(record_head.size() + 11 + 3 + record_tail.size(), plain_record_slack);
}

// What becomes of a data line: the record's bytes, or for a fifth field with
// content the field's index and the source line of its error (the record then
// empty). no_memory: no room could be had for the record, which is empty
// (set by whoever gives the room; write_record never sets it).
struct RecordOutcome {
  std::string_view record;
  std::int32_t failed_index = 0;
  std::int32_t failed_line = 0;
  bool no_memory = false;
};

// Writes the record of a data line whose first ";" is at byte `separator`
// at out, which has record_room(line.size()) bytes, and returns it. For a
// fifth field with content the outcome names the failure; out's bytes are
// then undefined. The same bytes as make_plain_record's for a plain line.
[[nodiscard]] RecordOutcome write_record(std::string_view line, std::size_t separator, char* out) noexcept;

}  // namespace lumetra
