// Record conversion: one source line of measurements becomes one record of
// the target file.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace lumetra {

// Source lines reported with runtime errors of the conversion.
inline constexpr std::int32_t line_clear_field = 33;
inline constexpr std::int32_t line_store_comma = 42;
inline constexpr std::int32_t line_store_byte = 44;

// A line holding ";" is a data line of up to four fields: a time of day hhmmss
// and three values. Its record, written to file 2, is
//   "$1;1;" seconds ";" value ";" value ";" value ";0" CR LF
// with blanks removed from the fields and "." turned into ",". Seconds are
// hh * 3600 + mm * 60 + ss, read from the first two, the third and fourth,
// and the last two bytes of the first field.
class RecordConverter {
 public:
  // Writes the record of a data line to file 2 and returns true; returns
  // false and writes nothing for a line without ";". A fifth field with
  // content ends the process with runtime error 6 (at line 42 for a ".",
  // else 44) before anything of the line is written.
  bool convert_line(const Text& line) noexcept;

  // What convert_line makes of a data line, without writing or raising
  // anything: the record's bytes, or for a fifth field with content the
  // field's index and the source line of its error (the record then empty).
  struct Outcome {
    std::string_view record;
    std::int32_t failed_index = 0;
    std::int32_t failed_line = 0;
  };
  [[nodiscard]] Outcome make_record(std::string_view line) noexcept;

 private:
  std::vector<char> record_;
};

// The seconds of a first field as the record shows them.
[[nodiscard]] std::int32_t field_seconds(std::string_view field) noexcept;

}  // namespace lumetra
