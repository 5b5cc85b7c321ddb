// Records of plain lines, the lines a logger writes: built with whole-vector
// operations instead of byte by byte.
#pragma once

#include <cstddef>
#include <string_view>

namespace lumetra {

// Room behind the start of a plain record that make_plain_record may write:
// it stores whole vectors, so bytes behind the record are overwritten.
inline constexpr std::size_t plain_record_slack = 32;

inline constexpr std::size_t longest_plain_line = 64;

// The record of a plain line: 16 to longest_plain_line bytes, a first field
// of six digits hhmmss worth 100 seconds or more, no blank, at most four
// fields. Writes it at out, which must have room for line.size() +
// plain_record_slack bytes, and returns its length. Returns 0 for any other
// line; out's bytes are then undefined. The record is byte for byte the one
// the general conversion makes.
[[nodiscard]] std::size_t make_plain_record(std::string_view line, char* out) noexcept;

}  // namespace lumetra
