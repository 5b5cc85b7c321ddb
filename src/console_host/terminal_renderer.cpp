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
#include "console_host/terminal_renderer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <utility>

#include "console_host/console_geometry.h"

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
    : model_(model),
      charset_(std::move(charset)),
      terminal_size_{static_cast<SHORT>(rect_width(model.window())), static_cast<SHORT>(rect_height(model.window()))},
      view_(model.window()) {}

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
// the view.
void TerminalRenderer::draw_span(int buffer_row, int first_column, int last_column) {
  if (buffer_row < view_.Top || buffer_row > view_.Bottom) return;
  first_column = std::max<int>(first_column, view_.Left);
  last_column = std::min<int>(last_column, view_.Right);
  if (first_column > last_column) return;
  move_to(first_column - view_.Left, buffer_row - view_.Top);
  for (int x = first_column; x <= last_column; ++x) {
    const ConsoleCell& cell = model_.cell(x, buffer_row);
    send_attribute(cell.attribute);
    out_ += charset_.text(cell.byte);
  }
  cursor_column_ += last_column - first_column + 1;
  // After the last column the terminal waits to wrap; its cursor is no longer sure.
  if (cursor_column_ >= terminal_size_.X) cursor_known_ = false;
}

void TerminalRenderer::draw_rows(int first_buffer_row, int last_buffer_row) {
  for (int y = first_buffer_row; y <= last_buffer_row; ++y) draw_span(y, 0, model_.size().X - 1);
}

// Scrolls screen rows top..bottom (0-based) up by rows (down when negative)
// inside temporary margins. The lines that come in are blank in the default
// colours: terminals fill them with the current background, and columns
// beyond the view are never drawn over.
void TerminalRenderer::scroll_screen_band(int top, int bottom, int rows) {
  send_attribute(default_foreground | default_background << 4);
  append_csi(top + 1, bottom + 1, 'r');
  if (rows > 0) {
    append_csi(bottom + 1, 1, 'H');
    out_.append(static_cast<std::size_t>(rows), '\n');
  } else {
    append_csi(top + 1, 1, 'H');
    for (int i = 0; i < -rows; ++i) out_ += "\x1bM";
  }
  append_csi(1, terminal_size_.Y, 'r');
  cursor_known_ = false;  // setting margins homes the cursor on some terminals only
}

// ---- The view ------------------------------------------------------------------

// The view of the terminal's size (no larger than the window) nearest to the
// given top left corner inside the window.
SMALL_RECT TerminalRenderer::fitted_view(int left, int top) const noexcept {
  const SMALL_RECT window = model_.window();
  const int width = std::min<int>(rect_width(window), terminal_size_.X);
  const int height = std::min<int>(rect_height(window), terminal_size_.Y);
  left = std::clamp<int>(left, window.Left, window.Right - width + 1);
  top = std::clamp<int>(top, window.Top, window.Bottom - height + 1);
  return make_rect(left, top, left + width - 1, top + height - 1);
}

// The view moved as little as needed to hold the cursor: up or down to its
// row, and sideways so that it stands in the middle, which keeps typing
// along a line from moving the view at every key.
SMALL_RECT TerminalRenderer::view_with_cursor(const SMALL_RECT& view) const noexcept {
  const SMALL_RECT window = model_.window();
  const int column = std::clamp<int>(model_.cursor().X, window.Left, window.Right);
  const int row = std::clamp<int>(model_.cursor().Y, window.Top, window.Bottom);
  int left = view.Left;
  int top = view.Top;
  if (row < view.Top) top = row;
  if (row > view.Bottom) top = row - rect_height(view) + 1;
  if (column < view.Left || column > view.Right) left = column - rect_width(view) / 2;
  return fitted_view(left, top);
}

// Makes the terminal show view: a vertical move of the same rows is a
// terminal scroll plus the rows that come in, anything else a repaint.
void TerminalRenderer::show(const SMALL_RECT& view) {
  const SMALL_RECT previous = std::exchange(view_, view);
  const int shift = view.Top - previous.Top;
  const bool same_shape =
      view.Left == previous.Left && view.Right == previous.Right && rect_height(view) == rect_height(previous);
  if (!same_shape || std::abs(shift) >= rect_height(view)) {
    repaint();
    return;
  }
  if (shift == 0) return;
  scroll_screen_band(0, rect_height(view) - 1, shift);
  if (shift > 0) {
    draw_rows(view.Bottom - shift + 1, view.Bottom);
  } else {
    draw_rows(view.Top, view.Top - shift - 1);
  }
}

// ---- Model changes -------------------------------------------------------------

void TerminalRenderer::cells_changed(const SMALL_RECT& area) {
  for (int y = area.Top; y <= area.Bottom; ++y) draw_span(y, area.Left, area.Right);
}

bool TerminalRenderer::covers_view_columns(const SMALL_RECT& area) const noexcept {
  return area.Left <= view_.Left && area.Right >= view_.Right;
}

// A vertical move of rows that span the whole view becomes a terminal scroll
// of the rows the view shows, inside margins; any other move redraws what
// changed. The terminal scroll moves whole terminal rows, so the source and
// the clip must cover every column the view shows.
void TerminalRenderer::region_scrolled(const SMALL_RECT& source, const SMALL_RECT& clip, COORD destination) {
  const SMALL_RECT target = make_rect(destination.X, destination.Y, destination.X + rect_width(source) - 1,
                                      destination.Y + rect_height(source) - 1);
  const SMALL_RECT changed = intersect(bounding(source, target), clip);
  if (is_empty(changed)) return;
  const int shift = destination.Y - source.Top;
  const SMALL_RECT band = intersect(changed, view_);
  if (destination.X != source.Left || shift == 0 || !covers_view_columns(source) || !covers_view_columns(clip) ||
      is_empty(band) || std::abs(shift) >= rect_height(band)) {
    cells_changed(changed);
    return;
  }
  scroll_screen_band(band.Top - view_.Top, band.Bottom - view_.Top, -shift);
  // Rows the terminal filled with blanks, or with rows from outside the view.
  if (shift < 0) {
    draw_rows(band.Bottom + shift + 1, band.Bottom);
  } else {
    draw_rows(band.Top, band.Top + shift - 1);
  }
}

// The view keeps its place in the window.
void TerminalRenderer::window_moved(const SMALL_RECT& previous) {
  const SMALL_RECT window = model_.window();
  show(fitted_view(view_.Left + window.Left - previous.Left, view_.Top + window.Top - previous.Top));
}

void TerminalRenderer::bell() { out_ += '\a'; }

// ---- Whole screen and end of call ---------------------------------------------------

void TerminalRenderer::set_terminal_cursor(COORD position) noexcept {
  cursor_known_ = true;
  cursor_column_ = position.X;
  cursor_row_ = position.Y;
}

void TerminalRenderer::restart(COORD terminal_size) {
  terminal_size_ = terminal_size;
  cursor_visible_.reset();
  view_ = view_with_cursor(fitted_view(view_.Left, view_.Top));
  repaint();
}

void TerminalRenderer::repaint() {
  out_ += "\x1b[0m\x1b[H\x1b[2J";
  attribute_ = default_foreground | default_background << 4;
  set_terminal_cursor({0, 0});
  draw_rows(view_.Top, view_.Bottom);
}

std::string TerminalRenderer::take_output() {
  show(view_with_cursor(view_));
  const COORD cursor = model_.cursor();
  move_to(std::clamp<int>(cursor.X, view_.Left, view_.Right) - view_.Left,
          std::clamp<int>(cursor.Y, view_.Top, view_.Bottom) - view_.Top);
  const bool visible = model_.cursor_info().bVisible != FALSE;
  if (cursor_visible_ != visible) {
    out_ += visible ? "\x1b[?25h" : "\x1b[?25l";
    cursor_visible_ = visible;
  }
  return std::exchange(out_, {});
}

}  // namespace lumetra
