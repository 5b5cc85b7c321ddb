// Terminal renderer: console model changes to VT bytes.
//
// Sequences emitted (CSI = ESC [):
//   CSI row;col H     CUP      move the cursor (1-based)
//   CSI 0;fg;bg m     SGR      reset, then colours: 30-37/90-97 foreground,
//                              40-47/100-107 background; light grey on black
//                              are left as the terminal's default colours
//   CSI top;bottom r  DECSTBM  scrolling margins (reset with 1;rows)
//   LF                         scroll up one line at the bottom margin
//   ESC M             RI       scroll down one line at the top margin
//   CSI H CSI 2J      CUP, ED  home and clear the screen (full repaint)
//   CSI ?25h / ?25l   DECTCEM  show / hide the cursor
//   BEL                        the bell
// A whole SGR each time: SGR 0 also resets the background, and the Linux
// console turns 90-97 into bold that a later 30-37 would keep.
#include "platform/terminal_console/terminal_renderer.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <utility>

#include "platform/terminal_console/console_geometry.h"

namespace lumetra {

namespace {

// SGR foreground codes of the console colours 0-15 (blue and red swap places
// between the console's attribute bits and the ANSI colour order); the
// background code is 10 more.
constexpr std::array<int, 16> foreground_sgr{30, 34, 32, 36, 31, 35, 33, 37, 90, 94, 92, 96, 91, 95, 93, 97};
static_assert(foreground_sgr[1] == 34 && foreground_sgr[4] == 31 && foreground_sgr[14] == 93);
constexpr int background_sgr_offset = 10;
constexpr int default_foreground = 7;
constexpr int default_background = 0;

void append_number(std::string& out, int value) {
  char digits[12];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

}  // namespace

TerminalRenderer::TerminalRenderer(const ConsoleModel& model, TerminalCharset charset)
    : model_(model), charset_(std::move(charset)) {}

// ---- Primitives -------------------------------------------------------------

void TerminalRenderer::append_csi(int first, int second, char final_byte) {
  out_ += "\x1b[";
  append_number(out_, first);
  out_ += ';';
  append_number(out_, second);
  out_ += final_byte;
}

void TerminalRenderer::move_to(int column, int row) {
  if (cursor_known_ && cursor_column_ == column && cursor_row_ == row) return;
  append_csi(row + 1, column + 1, 'H');
  cursor_known_ = true;
  cursor_column_ = column;
  cursor_row_ = row;
}

void TerminalRenderer::send_attribute(WORD attribute) {
  attribute &= 0xFF;
  if (attribute_ == attribute) return;
  const int foreground = attribute & 0x0F;
  const int background = attribute >> 4;
  out_ += "\x1b[0";
  if (foreground != default_foreground) {
    out_ += ';';
    append_number(out_, foreground_sgr[foreground]);
  }
  if (background != default_background) {
    out_ += ';';
    append_number(out_, foreground_sgr[background] + background_sgr_offset);
  }
  out_ += 'm';
  attribute_ = attribute;
}

// Draws the cells of one buffer row between two buffer columns, clipped to
// the window.
void TerminalRenderer::draw_span(int buffer_row, int first_column, int last_column) {
  const SMALL_RECT window = model_.window();
  if (buffer_row < window.Top || buffer_row > window.Bottom) return;
  first_column = std::max<int>(first_column, window.Left);
  last_column = std::min<int>(last_column, window.Right);
  if (first_column > last_column) return;
  move_to(first_column - window.Left, buffer_row - window.Top);
  for (int x = first_column; x <= last_column; ++x) {
    const ConsoleCell& cell = model_.cell(x, buffer_row);
    send_attribute(cell.attribute);
    out_ += charset_.text(cell.byte);
  }
  cursor_column_ += last_column - first_column + 1;
  // After the last column the terminal waits to wrap; its cursor is no longer sure.
  if (cursor_column_ >= rect_width(window)) cursor_known_ = false;
}

void TerminalRenderer::draw_rows(int first_buffer_row, int last_buffer_row) {
  for (int y = first_buffer_row; y <= last_buffer_row; ++y) draw_span(y, 0, model_.size().X - 1);
}

// Scrolls screen rows top..bottom (0-based) up by rows (down when negative)
// inside temporary margins. The lines that come in are blank.
void TerminalRenderer::scroll_screen_band(int top, int bottom, int rows) {
  append_csi(top + 1, bottom + 1, 'r');
  if (rows > 0) {
    append_csi(bottom + 1, 1, 'H');
    out_.append(static_cast<std::size_t>(rows), '\n');
  } else {
    append_csi(top + 1, 1, 'H');
    for (int i = 0; i < -rows; ++i) out_ += "\x1bM";
  }
  append_csi(1, rect_height(model_.window()), 'r');
  cursor_known_ = false;  // setting margins homes the cursor on some terminals only
}

// ---- Model changes -------------------------------------------------------------

void TerminalRenderer::cells_changed(const SMALL_RECT& area) {
  for (int y = area.Top; y <= area.Bottom; ++y) draw_span(y, area.Left, area.Right);
}

// A vertical move of full-width rows that the window shows whole becomes a
// terminal scroll inside margins; any other move redraws what changed.
bool TerminalRenderer::is_band_scroll(const SMALL_RECT& source, const SMALL_RECT& clip, const SMALL_RECT& changed,
                                      int shift) const noexcept {
  const SMALL_RECT window = model_.window();
  const int width = model_.size().X;
  const auto full_width = [width](const SMALL_RECT& r) { return r.Left == 0 && r.Right == width - 1; };
  return shift != 0 && full_width(source) && full_width(clip) && full_width(window) &&
         std::abs(shift) < rect_height(changed) && changed.Top >= window.Top && changed.Bottom <= window.Bottom;
}

void TerminalRenderer::region_scrolled(const SMALL_RECT& source, const SMALL_RECT& clip, COORD destination) {
  const SMALL_RECT target = make_rect(destination.X, destination.Y, destination.X + rect_width(source) - 1,
                                      destination.Y + rect_height(source) - 1);
  const SMALL_RECT changed = intersect(bounding(source, target), clip);
  if (is_empty(changed)) return;
  const int shift = destination.Y - source.Top;
  if (destination.X != source.Left || !is_band_scroll(source, clip, changed, shift)) {
    cells_changed(changed);
    return;
  }
  const int top = model_.window().Top;
  scroll_screen_band(changed.Top - top, changed.Bottom - top, -shift);
  // Rows the terminal filled with blanks: the model may hold more than that.
  if (shift < 0) {
    draw_rows(changed.Bottom + shift + 1, changed.Bottom);
  } else {
    draw_rows(changed.Top, changed.Top + shift - 1);
  }
}

void TerminalRenderer::window_moved(const SMALL_RECT& previous) {
  const SMALL_RECT window = model_.window();
  const int shift = window.Top - previous.Top;
  const bool same_shape = window.Left == previous.Left && rect_width(window) == rect_width(previous) &&
                          rect_height(window) == rect_height(previous);
  if (!same_shape || std::abs(shift) >= rect_height(window)) {
    repaint();
    return;
  }
  if (shift == 0) return;
  scroll_screen_band(0, rect_height(window) - 1, shift);
  if (shift > 0) {
    draw_rows(window.Bottom - shift + 1, window.Bottom);
  } else {
    draw_rows(window.Top, window.Top - shift - 1);
  }
}

void TerminalRenderer::bell() { out_ += '\a'; }

void TerminalRenderer::resized() { repaint(); }

// ---- Whole screen and end of call ---------------------------------------------------

void TerminalRenderer::set_terminal_cursor(COORD position) noexcept {
  cursor_known_ = true;
  cursor_column_ = position.X;
  cursor_row_ = position.Y;
}

void TerminalRenderer::repaint() {
  out_ += "\x1b[0m\x1b[H\x1b[2J";
  attribute_ = default_foreground | default_background << 4;
  set_terminal_cursor({0, 0});
  draw_rows(model_.window().Top, model_.window().Bottom);
}

std::string TerminalRenderer::take_output() {
  const SMALL_RECT window = model_.window();
  const COORD cursor = model_.cursor();
  move_to(std::clamp<int>(cursor.X - window.Left, 0, rect_width(window) - 1),
          std::clamp<int>(cursor.Y - window.Top, 0, rect_height(window) - 1));
  const bool visible = model_.cursor_info().bVisible != FALSE;
  if (cursor_visible_ != visible) {
    out_ += visible ? "\x1b[?25h" : "\x1b[?25l";
    cursor_visible_ = visible;
  }
  return std::exchange(out_, {});
}

}  // namespace lumetra
