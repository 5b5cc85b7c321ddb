// The record conversion made step by step from the named text and number
// operations: the reference the fast conversion is held to by the unit tests
// and the fuzz target.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "text/numeric_text.h"
#include "text/text.h"

namespace lumetra {

struct ExpectedRecord {
  std::string record;  // empty: no record
  std::int32_t failed_line = 0;
};

// convert_line as a sequence of text operations: one byte at a time through
// mid_text, compare_text and concat_text, the seconds through left_text,
// mid_text, right_text and numeric_value with rounding at every step.
inline ExpectedRecord convert_step_by_step(const Text& line) {
  if (find_text(1, line, ";") < 1) return {};
  Text fields[4];
  std::int32_t field_index = 1;
  Text current_char;
  const std::int32_t n = text_length(line);
  for (std::int32_t p = 1; p <= n; ++p) {
    assign_text(current_char, mid_text(line, p, 1));
    if (compare_text(current_char, ";") == 0) {
      ++field_index;
    } else if (compare_text(current_char, " ") != 0) {
      const bool dot = compare_text(current_char, ".") == 0;
      if (field_index < 1 || field_index > 4) return {"", dot ? 42 : 44};
      TextDescriptor result;
      assign_text(fields[field_index - 1],
                  concat_text(result, fields[field_index - 1], dot ? TextArg(",") : TextArg(current_char)));
    }
  }
  Text time_text;
  assign_text(time_text, fields[0]);
  auto nearest = [](long double value) { return static_cast<std::int32_t>(std::nearbyintl(value)); };
  std::int32_t seconds = nearest(static_cast<long double>(numeric_value(left_text(time_text, 2))) * 3600.0L);
  seconds = nearest(static_cast<long double>(numeric_value(mid_text(time_text, 3, 2))) * 60.0L + seconds);
  seconds = nearest(static_cast<long double>(numeric_value(right_text(time_text, 2))) + seconds);
  Text seconds_text;
  assign_text(seconds_text, trim_leading_blanks(integer_to_text(seconds)));
  std::string record = "$1;1;";
  record += seconds_text.view();
  for (int i = 1; i < 4; ++i) (record += ';') += fields[i].view();
  return {record + ";0\r\n"};
}

}  // namespace lumetra
