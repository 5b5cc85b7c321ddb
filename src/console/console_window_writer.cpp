// The windowed path of console_write: lays text out in the text region at the
// cursor, interprets bell, backspace, tab, line feed and carriage return,
// writes printable text in runs of whole row segments, and scrolls.
#include <algorithm>
#include <array>

#include "console/console_internal.h"
#include "console/console_output.h"

namespace lumetra {
namespace {

constexpr std::int32_t pending_size = 1024;

class WindowWriter {
 public:
  WindowWriter() noexcept;
  void write(const char* text, std::int32_t length) noexcept;

 private:
  void settle_pending_wrap() noexcept;
  void interpret(unsigned char byte) noexcept;
  void add_printable(const char* bytes, std::int32_t count) noexcept;
  void flush_pending() noexcept;
  void scroll(std::int32_t rows) noexcept;
  void scroll_rows(SMALL_RECT area, std::int32_t rows) noexcept;
  void blank_rows(std::int32_t first, std::int32_t last) noexcept;
  void finish() noexcept;

  HANDLE output_;
  std::int32_t left_, right_, top_, bottom_;
  std::int32_t buffer_width_ = 80, buffer_height_ = 25;
  WORD attribute_ = 7;
  bool partial_ = false;
  std::int32_t original_top_;
  std::int32_t console_cursor_row_;
  // Where the pending text starts, and where the text laid out so far ends.
  std::int32_t x_, y_;
  std::int32_t layout_x_, layout_y_;
  std::array<char, pending_size> pending_{};
  std::int32_t pending_count_ = 0;
  bool moved_after_text_ = false;
};

WindowWriter::WindowWriter() noexcept : output_(console_handle(false)) {
  const SMALL_RECT& view = console_view();
  std::int32_t first = 0;
  std::int32_t last = 0;
  console_text_lines(&first, &last);
  left_ = view.Left;
  right_ = view.Right;
  top_ = view.Top + first;
  bottom_ = view.Top + last;
  x_ = left_;
  y_ = top_;
  std::int32_t window_top = view.Top;
  std::int32_t window_bottom = view.Bottom;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(output_, &info)) {
    buffer_width_ = info.dwSize.X;
    buffer_height_ = info.dwSize.Y;
    attribute_ = info.wAttributes;
    x_ = info.dwCursorPosition.X;
    y_ = info.dwCursorPosition.Y;
    window_top = info.srWindow.Top;
    window_bottom = info.srWindow.Bottom;
  }
  console_cursor_row_ = y_;
  partial_ = top_ != window_top || bottom_ != window_bottom;
  original_top_ = top_;
  layout_x_ = x_;
  layout_y_ = y_;
}

void WindowWriter::write(const char* text, std::int32_t length) noexcept {
  settle_pending_wrap();
  for (std::int32_t i = 0; i < length; ++i) interpret(static_cast<unsigned char>(text[i]));
  if (pending_count_ > 0) {
    flush_pending();
  } else if (moved_after_text_ && y_ > bottom_) {
    scroll(y_ - bottom_);
  }
  finish();
}

// A write that filled the bottom-right cell left the move to a new line for
// the next write; carry it out now.
void WindowWriter::settle_pending_wrap() noexcept {
  ConsoleState& state = console_state();
  if (!state.pending_wrap) return;
  state.pending_wrap = false;
  x_ = left_;
  y_ = console_cursor_row_ + 1;
  if (y_ > bottom_) scroll(y_ - bottom_);
  layout_x_ = x_;
  layout_y_ = y_;
}

void WindowWriter::interpret(unsigned char byte) noexcept {
  switch (byte) {
    case 7:
      Beep(1000, 250);  // at once: text pending before the bell shows after the tone
      return;
    case 8:
      flush_pending();
      if (x_ > left_) --x_;
      break;
    case 9: {
      static constexpr char blanks[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
      add_printable(blanks, 8 - (layout_x_ - left_) % 8);
      return;
    }
    case 10:
      flush_pending();
      x_ = left_;
      ++y_;
      break;
    case 13:
      flush_pending();
      x_ = left_;
      break;
    default: {
      const char printable = static_cast<char>(byte);
      add_printable(&printable, 1);
      return;
    }
  }
  layout_x_ = x_;
  layout_y_ = y_;
  moved_after_text_ = true;
}

void WindowWriter::add_printable(const char* bytes, std::int32_t count) noexcept {
  if (pending_count_ + count > pending_size) flush_pending();
  std::copy(bytes, bytes + count, pending_.begin() + pending_count_);
  pending_count_ += count;
  moved_after_text_ = false;
  layout_x_ += count;
  if (layout_x_ > right_) {
    const std::int32_t width = right_ - left_ + 1;
    layout_y_ += (layout_x_ - left_) / width;
    layout_x_ = left_ + (layout_x_ - left_) % width;
  }
}

// Writes the pending text from its start in runs that end at the row's end.
void WindowWriter::flush_pending() noexcept {
  std::int32_t done = 0;
  while (done < pending_count_) {
    const std::int32_t run = std::min(pending_count_ - done, right_ - x_ + 1);
    if (y_ > bottom_) scroll(y_ - bottom_);
    std::array<CHAR_INFO, pending_size> cells;
    for (std::int32_t i = 0; i < run; ++i) {
      cells[i].Char.AsciiChar = pending_[done + i];
      cells[i].Attributes = attribute_;
    }
    SMALL_RECT target{static_cast<SHORT>(x_), static_cast<SHORT>(y_), static_cast<SHORT>(x_ + run - 1),
                      static_cast<SHORT>(y_)};
    if (!WriteConsoleOutputA(output_, cells.data(), {static_cast<SHORT>(run), 1}, {0, 0}, &target)) break;
    done += run;
    x_ += run;
    if (x_ == right_ + 1) {
      x_ = left_;
      ++y_;
    }
  }
  pending_count_ = 0;
  layout_x_ = x_;
  layout_y_ = y_;
}

void WindowWriter::scroll(std::int32_t rows) noexcept {
  if (!partial_) {
    const std::int32_t rows_below = buffer_height_ - 1 - bottom_;
    if (rows_below > 0) {
      // Bring rows of the buffer below the window into view instead of
      // scrolling; the window follows at the end of the write.
      const std::int32_t moved = std::min(rows, rows_below);
      top_ += moved;
      bottom_ += moved;
      rows -= moved;
      if (rows == 0) return;
    }
    scroll_rows({0, 0, static_cast<SHORT>(buffer_width_ - 1), static_cast<SHORT>(buffer_height_ - 1)}, rows);
  } else {
    scroll_rows(
        {static_cast<SHORT>(left_), static_cast<SHORT>(top_), static_cast<SHORT>(right_), static_cast<SHORT>(bottom_)},
        rows);
  }
  y_ = bottom_;
}

// Scrolls the area up by rows, filling what the move uncovers. When fewer
// rows could be moved than scrolled, the area's last rows are blanked too
// (all of it when it is not taller than the scroll).
void WindowWriter::scroll_rows(SMALL_RECT area, std::int32_t rows) noexcept {
  const std::int32_t height = area.Bottom - area.Top + 1;
  if (rows < height) {
    const SMALL_RECT source{area.Left, static_cast<SHORT>(area.Top + rows), area.Right, area.Bottom};
    CHAR_INFO fill{};
    fill.Char.AsciiChar = ' ';
    fill.Attributes = attribute_;
    ScrollConsoleScreenBufferA(output_, &source, nullptr, {area.Left, area.Top}, &fill);
  }
  if (height - rows < rows) blank_rows(std::max<std::int32_t>(area.Top, area.Bottom - rows + 1), area.Bottom);
}

void WindowWriter::blank_rows(std::int32_t first, std::int32_t last) noexcept {
  const auto width = static_cast<DWORD>(right_ - left_ + 1);
  for (std::int32_t row = first; row <= last; ++row) {
    DWORD done = 0;
    const COORD start{static_cast<SHORT>(left_), static_cast<SHORT>(row)};
    FillConsoleOutputAttribute(output_, attribute_, width, start, &done);
    FillConsoleOutputCharacterA(output_, ' ', width, start, &done);
  }
}

void WindowWriter::finish() noexcept {
  if (x_ == left_ && y_ == bottom_ + 1) {
    // The text filled the bottom-right cell: defer the scroll to the next write.
    x_ = right_;
    y_ = bottom_;
    console_state().pending_wrap = true;
  } else if (y_ > bottom_) {
    scroll(y_ - bottom_);
  }
  SetConsoleCursorPosition(output_, {static_cast<SHORT>(x_), static_cast<SHORT>(y_)});
  if (top_ != original_top_ && !partial_) {
    const SMALL_RECT window{static_cast<SHORT>(left_), static_cast<SHORT>(top_), static_cast<SHORT>(right_),
                            static_cast<SHORT>(bottom_)};
    SetConsoleWindowInfo(output_, TRUE, &window);
  }
  refresh_console_view();
}

}  // namespace

void write_windowed(const char* text, std::int32_t length) noexcept { WindowWriter().write(text, length); }

}  // namespace lumetra
