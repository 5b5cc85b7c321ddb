// The buffered file stream the file layer expects of a C runtime: a byte
// stream (byte_stream.h) read through the text reader (text_reader.h), whose
// whole lines are written so that a file never keeps part of one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "stream/text_reader.h"

namespace lumetra {

class CrtStream final : public TextReader {
 public:
  // Writes whole lines (the bytes end with an LF) straight to the file, the
  // buffered bytes first. When the file takes only part of them (a full
  // disk, a size limit), a regular file is cut back to the end of the last
  // whole line that reached it. A pipe gets them in writes that it takes
  // whole or not at all, each ending with a line (a line longer than such a
  // write goes in pieces), so that its reader never gets part of a line when
  // the writing stops. True when all were written.
  [[nodiscard]] bool write_lines(const char* bytes, std::size_t count) noexcept;

 private:
  std::size_t write_in_whole_lines(const char* bytes, std::size_t count) noexcept;
  void cut_back_to_line_end(std::int64_t start, std::string_view written) noexcept;
};

}  // namespace lumetra
