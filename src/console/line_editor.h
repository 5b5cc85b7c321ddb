// Line editor: reads one typed line in place on the screen, always
// inserting, with the cursor and editing keys of a PC console.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace lumetra {

// A cell of the console view, 1-based.
struct ScreenPosition {
  std::int32_t column = 0;
  std::int32_t row = 0;
};

// Reads keys until Enter (13) or Ctrl+Enter (10) and edits line, which starts
// empty, at the cursor: characters 32-255 and Tab (blanks to the next multiple
// of 8 of the line) are inserted; Backspace, Delete, Left, Right, Home, End,
// Up and Down (one view row) and Escape (erase all) edit; other keys are
// ignored; Delete at the end beeps. Polls for keys every 25 ms. Ends with the
// cursor after the line, visible as it was before. The line holds neither CR
// nor LF. An insert for which no memory can be had is dropped.
void edit_line(Text& line) noexcept;

// The cell reached from a cell by distance bytes (negative: backwards) in
// rows of width columns; the row may leave the view in either direction.
[[nodiscard]] ScreenPosition advance_position(ScreenPosition from, std::int32_t distance, std::int32_t width) noexcept;

}  // namespace lumetra
