// Reading a source the way the conversion loop does, for the tests and the
// fuzz target that compare it with reading line by line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "files/line_reader.h"

namespace lumetra {

// The lines of an open file as the conversion loop reads them: many at a
// time from the stream's buffer when whole lines lie in it, split at their
// LF; else one taken whole from the buffer, or read; at most `limit` of
// them.
inline std::vector<std::string> read_like_the_conversion(FileNumber number, std::size_t limit = 100000) {
  std::vector<std::string> lines;
  Text line;
  while (lines.size() < limit) {
    const std::string_view buffered = file_buffered_lines(number);
    std::size_t used = 0;
    while (used < buffered.size() && lines.size() < limit) {
      const std::size_t lf = buffered.find('\n', used);
      lines.emplace_back(buffered_line_text(buffered.substr(used, lf - used)));
      used = lf + 1;
    }
    file_skip_buffered(number, used);
    if (used != 0) continue;
    std::string_view taken;
    if (!file_take_buffered_line(number, taken)) {
      if (file_at_end(number) != 0) break;
      file_read_line(number, line);
      taken = line.view();
    }
    lines.emplace_back(taken);
  }
  return lines;
}

}  // namespace lumetra
