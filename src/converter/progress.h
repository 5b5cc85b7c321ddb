// Progress of a long conversion, shown on the "Konvertiere..." line: the
// share of the source read (or the megabytes read, when the source's length
// is unknown) and the speed. Shown only when the dialogue is on a terminal
// and standard error is a terminal too, from one second into the conversion
// on, and erased again at its end, so that the screen ends as it would
// without it.
#pragma once

#include <cstdint>

#include "files/file_slots.h"

namespace lumetra {

class ConversionProgress {
 public:
  // Starts timing the conversion of source. The console's cursor stands at
  // the start of the line below the "Konvertiere..." line.
  void start(FileNumber source) noexcept;
  // Once per source line: looks at the clock only every lines_per_look lines.
  void count_line() noexcept {
    if (--countdown_ == 0) [[unlikely]]
      look();
  }
  // Erases what was shown.
  void finish() noexcept;

 private:
  static constexpr std::uint32_t lines_per_look = 4096;

  void look() noexcept;
  void show(std::uint64_t now_ms) noexcept;
  void write_at_line_end(const char* text, std::int32_t length) noexcept;

  std::uint32_t countdown_ = lines_per_look;
  bool enabled_ = false;
  FileNumber source_ = 0;
  std::int32_t row_ = 0;
  std::int32_t shown_length_ = 0;
  std::uint64_t start_ms_ = 0;
  std::uint64_t next_ms_ = 0;
};

}  // namespace lumetra
