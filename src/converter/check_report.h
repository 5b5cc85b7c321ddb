// What the check of a log found, and its report in German on the console.
#pragma once

#include <array>
#include <cstdint>

#include "converter/source_lines.h"

namespace lumetra {

inline constexpr std::size_t listed_lines = 5;

// Lines of one kind: how many, and the first few by number, each with the
// seconds its time gives (times only).
struct ListedLines {
  struct Line {
    std::int64_t number = 0;
    std::int32_t seconds = 0;
  };
  std::int64_t count = 0;
  std::array<Line, listed_lines> lines{};
};

struct CheckFindings {
  std::int64_t lines = 0;    // lines read whole, the header included
  std::int64_t records = 0;  // records a conversion would write
  ListedLines skipped;       // data lines without ";"
  ListedLines times;         // times that are not six digits
  ListedLines values;        // values that are no numbers
  std::int32_t error = 0;    // the runtime error that would stop the conversion, 0 for none
  std::int64_t stop_line = 0;
  std::array<char, SourceLines::start_size> stop_start{};  // the start of that line
  std::size_t stop_start_length = 0;
};

// Prints the report: the lines read and the records, the skipped lines, the
// times and the values, the line that would stop the conversion, and the
// verdict. A kind of line that was not found is left out.
void print_check_report(const CheckFindings& findings) noexcept;

}  // namespace lumetra
