// Progress of a long conversion, shown on the "Konvertiere..." line: the
// share of the source read (or the bytes read, when the source's length is
// unknown) and the speed, in MB, or in kB below one megabyte. Shown only
// when the dialogue is on a terminal and standard error is a terminal too,
// from one second into the conversion on, and erased again at its end, so
// that the screen ends as it would without it; a conversion that is stopped
// keeps it.
#pragma once

#include <cstdint>

#include "files/file_slots.h"

namespace lumetra {

class ConversionProgress {
 public:
  // Starts timing the conversion of source. The console's cursor stands at
  // the start of the line below the "Konvertiere..." line.
  void start(FileNumber source) noexcept;
  // Each time the source has been read on (once per buffer of lines, not
  // per line): looks at the clock and shows the progress when it is due.
  void look() noexcept;
  // Erases what was shown.
  void finish() noexcept;

 private:
  void show(std::uint64_t now_ms) noexcept;
  void write_at_line_end(const char* text, std::int32_t length) noexcept;

  bool enabled_ = false;
  FileNumber source_ = 0;
  std::int32_t row_ = 0;
  std::int32_t shown_length_ = 0;
  std::uint64_t start_ms_ = 0;
  std::uint64_t next_ms_ = 0;
};

}  // namespace lumetra
