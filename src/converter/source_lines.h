// The source's lines as the conversion reads them, for the conversion and for
// the check of a log: the header, then the data lines, many at a time from
// the stream's buffer, numbered as sed counts them.
#pragma once

#include <cstdint>
#include <string_view>

#include "converter/lines_taken.h"
#include "files/file_slots.h"
#include "files/line_reader.h"
#include "runtime/runtime_error.h"
#include "text/text.h"

namespace lumetra {

class SourceLines {
 public:
  explicit SourceLines(FileNumber source) noexcept : source_(source) {}

  // Reads the header, line 1, which nothing examines. 0, or 4 when it does
  // not fit in memory.
  [[nodiscard]] std::int32_t read_header(Text& line) noexcept;

  // Hands every data line, the text file_read_line would read, to
  // visit(line) until visit returns false or the source ends; line holds
  // the lines that are read rather than taken from the buffer. read_on()
  // follows each time the source was read on: after a buffer of lines, and
  // after a line read on its own (a slow source may bring a line at a
  // time). A read that fails ends the source: the line it cut is no line of
  // the file, and the source's close reports the failure. 0, or 4 when a
  // line does not fit in memory.
  // take_lines(block), when given, is offered the whole lines at hand first,
  // before each line that is visited alone: it takes as many as it can (at
  // least none) and tells what it took (LinesTaken); visit
  // then gets the line after them.
  template <typename Visit, typename ReadOn, typename TakeLines>
  [[nodiscard]] std::int32_t read_data_lines(Text& line, Visit&& visit, ReadOn&& read_on,
                                             TakeLines&& take_lines) noexcept;
  template <typename Visit, typename ReadOn>
  [[nodiscard]] std::int32_t read_data_lines(Text& line, Visit&& visit, ReadOn&& read_on) noexcept {
    return read_data_lines(line, visit, read_on, [](std::string_view) { return LinesTaken{}; });
  }

  // The number of the line being visited, the header being line 1; only
  // during the visit.
  [[nodiscard]] std::int64_t number_of(std::string_view line) const noexcept;
  // The number of the line after the last one read whole: after a failed
  // read or a line that did not fit, the line that could not be read.
  [[nodiscard]] std::int64_t next_number() const noexcept { return lines_taken_ + 1; }
  // The bytes of that line that the buffer held before it was read, up to
  // start_size of them; empty when none.
  [[nodiscard]] std::string_view next_start() const noexcept;

  static constexpr std::size_t start_size = 512;
  static constexpr std::int64_t lines_between_offers = 16;

 private:
  enum class Next : std::uint8_t { Line, End, TooLong };

  Next read_next_line(Text& text, std::string_view& line) noexcept;
  void keep_next_start() noexcept;
  template <typename Visit, typename TakeLines>
  bool visit_buffered(std::string_view lines, Visit& visit, TakeLines& take_lines) noexcept;

  FileNumber source_;
  std::int64_t lines_taken_ = 0;  // lines read whole, the header included
  const char* batch_ = nullptr;   // the first byte of the lines being visited
  char start_[start_size] = {};
  std::size_t start_length_ = 0;
  std::int64_t start_number_ = 0;  // the line whose start is kept
};

// The whole lines at hand in the buffer are split here, at their LF; the
// line count is kept in a register and added once per batch, so that the
// hot loop pays nothing for the numbers. Only a line that is not whole in
// the buffer is read on its own.
template <typename Visit, typename ReadOn, typename TakeLines>
std::int32_t SourceLines::read_data_lines(Text& line, Visit&& visit, ReadOn&& read_on,
                                          TakeLines&& take_lines) noexcept {
  for (bool go_on = true; go_on;) {
    const std::string_view lines = file_buffered_lines(source_);
    if (!lines.empty()) {
      go_on = visit_buffered(lines, visit, take_lines);
      read_on();
      continue;
    }
    std::string_view next;
    const Next found = read_next_line(line, next);
    if (found == Next::TooLong) return error_code(RuntimeError::OutOfMemory);
    if (found == Next::End) break;
    read_on();
    batch_ = next.data();
    go_on = visit(next);
    ++lines_taken_;
  }
  return 0;
}

template <typename Visit, typename TakeLines>
bool SourceLines::visit_buffered(std::string_view lines, Visit& visit, TakeLines& take_lines) noexcept {
  batch_ = lines.data();
  std::size_t used = 0;
  std::int64_t count = 0;
  bool go_on = true;
  std::int64_t alone = 0;  // lines to visit alone before the next offer
  while (go_on && used < lines.size()) {
    if (alone == 0) {
      const auto taken = take_lines(lines.substr(used));
      used += taken.bytes;
      count += taken.lines;
      if (used == lines.size()) break;
      // An offer that took nothing comes again only after some lines: lines
      // it cannot take tend to come in runs.
      alone = taken.lines == 0 ? lines_between_offers : 1;
    }
    --alone;
    const std::size_t lf = lines.find('\n', used);
    go_on = visit(buffered_line_text(lines.substr(used, lf - used)));
    used = lf + 1;
    ++count;
  }
  file_skip_buffered(source_, used);
  lines_taken_ += count;
  return go_on;
}

}  // namespace lumetra
