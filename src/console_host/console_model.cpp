// Console model: cells, window, cursor, modes, input queue and control
// handlers with the Windows console's semantics and failures.
#include "console_host/console_model.h"

#include <algorithm>

#include "console_host/console_geometry.h"

namespace lumetra {

namespace {

constexpr DWORD initial_input_mode = ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT;
constexpr DWORD initial_output_mode = ENABLE_PROCESSED_OUTPUT | ENABLE_WRAP_AT_EOL_OUTPUT;

}  // namespace

ConsoleModel::ConsoleModel(int columns, int window_rows, int buffer_rows)
    : width_(columns),
      height_(std::max(window_rows, buffer_rows)),
      cells_(static_cast<std::size_t>(width_) * height_),
      window_(make_rect(0, 0, columns - 1, window_rows - 1)),
      input_mode_(initial_input_mode),
      output_mode_(initial_output_mode) {}

const ConsoleCell& ConsoleModel::cell(int x, int y) const noexcept {
  return cells_[static_cast<std::size_t>(y) * width_ + x];
}

bool ConsoleModel::contains(COORD position) const noexcept {
  return position.X >= 0 && position.X < width_ && position.Y >= 0 && position.Y < height_;
}

SMALL_RECT ConsoleModel::buffer_rect() const noexcept { return make_rect(0, 0, width_ - 1, height_ - 1); }

// ---- Screen-buffer operations -------------------------------------------------

void ConsoleModel::get_info(CONSOLE_SCREEN_BUFFER_INFO& info) const noexcept {
  info.dwSize = size();
  info.dwCursorPosition = cursor_;
  info.wAttributes = attribute_;
  info.srWindow = window_;
  info.dwMaximumWindowSize = size();
}

bool ConsoleModel::write_cells(const CHAR_INFO* cells, COORD size, COORD origin, SMALL_RECT& region) noexcept {
  if (cells == nullptr || origin.X < 0 || origin.Y < 0 || origin.X >= size.X || origin.Y >= size.Y) return false;
  // The part of region that the array can supply, then the part inside the buffer.
  const SMALL_RECT supplied =
      make_rect(region.Left, region.Top, std::min<int>(region.Right, region.Left + size.X - origin.X - 1),
                std::min<int>(region.Bottom, region.Top + size.Y - origin.Y - 1));
  const SMALL_RECT written = intersect(supplied, buffer_rect());
  const int source_left = origin.X - region.Left;
  const int source_top = origin.Y - region.Top;
  for (int y = written.Top; y <= written.Bottom; ++y) {
    for (int x = written.Left; x <= written.Right; ++x) {
      const CHAR_INFO& source = cells[(source_top + y) * size.X + source_left + x];
      at(x, y) = {static_cast<unsigned char>(source.Char.AsciiChar), source.Attributes};
    }
  }
  region = written;
  if (!is_empty(written) && observer_ != nullptr) observer_->cells_changed(written);
  return true;
}

bool ConsoleModel::scroll(const SMALL_RECT& source, const SMALL_RECT* clip, COORD destination, const CHAR_INFO& fill) {
  const SMALL_RECT moved = intersect(source, buffer_rect());
  const SMALL_RECT limit = clip != nullptr ? intersect(*clip, buffer_rect()) : buffer_rect();
  if (is_empty(moved) || is_empty(limit)) return false;
  // A source clipped at its left or top edge moves the destination along.
  const int dx = destination.X - source.Left;
  const int dy = destination.Y - source.Top;
  const int width = moved.Right - moved.Left + 1;
  std::vector<ConsoleCell> snapshot;  // the source as it was: overlap-safe
  snapshot.reserve(static_cast<std::size_t>(width) * (moved.Bottom - moved.Top + 1));
  for (int y = moved.Top; y <= moved.Bottom; ++y)
    snapshot.insert(snapshot.end(), &at(moved.Left, y), &at(moved.Left, y) + width);

  const SMALL_RECT target = make_rect(moved.Left + dx, moved.Top + dy, moved.Right + dx, moved.Bottom + dy);
  const ConsoleCell fill_cell{static_cast<unsigned char>(fill.Char.AsciiChar), fill.Attributes};
  for (int y = moved.Top; y <= moved.Bottom; ++y) {
    for (int x = moved.Left; x <= moved.Right; ++x) {
      if (rect_contains(limit, x, y) && !rect_contains(target, x, y)) at(x, y) = fill_cell;
    }
  }
  const SMALL_RECT changed = intersect(target, limit);
  for (int y = changed.Top; y <= changed.Bottom; ++y) {
    for (int x = changed.Left; x <= changed.Right; ++x) {
      at(x, y) = snapshot[static_cast<std::size_t>(y - target.Top) * width + (x - target.Left)];
    }
  }
  if (observer_ != nullptr) {
    observer_->region_scrolled(moved, limit, {static_cast<SHORT>(target.Left), static_cast<SHORT>(target.Top)});
  }
  return true;
}

template <typename Setter>
DWORD ConsoleModel::fill_cells(DWORD count, COORD start, Setter set) noexcept {
  const std::size_t first = static_cast<std::size_t>(start.Y) * width_ + start.X;
  const std::size_t n = std::min<std::size_t>(count, cells_.size() - first);
  for (std::size_t i = 0; i < n; ++i) set(cells_[first + i]);
  if (n > 0 && observer_ != nullptr) {
    const std::size_t last = first + n - 1;
    const bool one_row = start.Y == static_cast<int>(last / width_);
    observer_->cells_changed(make_rect(one_row ? start.X : 0, start.Y,
                                       one_row ? static_cast<int>(last % width_) : width_ - 1,
                                       static_cast<int>(last / width_)));
  }
  return static_cast<DWORD>(n);
}

bool ConsoleModel::fill_attribute(WORD attribute, DWORD count, COORD start, DWORD& filled) noexcept {
  filled = 0;
  if (!contains(start)) return false;
  filled = fill_cells(count, start, [attribute](ConsoleCell& c) { c.attribute = attribute; });
  return true;
}

bool ConsoleModel::fill_character(unsigned char byte, DWORD count, COORD start, DWORD& filled) noexcept {
  filled = 0;
  if (!contains(start)) return false;
  filled = fill_cells(count, start, [byte](ConsoleCell& c) { c.byte = byte; });
  return true;
}

bool ConsoleModel::set_cursor_position(COORD position) noexcept {
  if (!contains(position)) return false;
  cursor_ = position;
  return true;
}

bool ConsoleModel::set_cursor_info(const CONSOLE_CURSOR_INFO& info) noexcept {
  if (info.dwSize < 1 || info.dwSize > 100) return false;
  cursor_info_ = {info.dwSize, info.bVisible ? TRUE : FALSE};
  return true;
}

bool ConsoleModel::set_window(bool absolute, const SMALL_RECT& window) noexcept {
  const SMALL_RECT wanted = absolute ? window
                                     : make_rect(window_.Left + window.Left, window_.Top + window.Top,
                                                 window_.Right + window.Right, window_.Bottom + window.Bottom);
  if (is_empty(wanted) || !contains({wanted.Left, wanted.Top}) || !contains({wanted.Right, wanted.Bottom}))
    return false;
  const SMALL_RECT previous = window_;
  window_ = wanted;
  if (observer_ != nullptr) observer_->window_moved(previous);
  return true;
}

void ConsoleModel::beep(DWORD frequency, DWORD duration_ms) {
  beeps_.push_back({frequency, duration_ms});
  if (observer_ != nullptr) observer_->bell();
}

// ---- Input queue -----------------------------------------------------------------

void ConsoleModel::push_input(const INPUT_RECORD& record) { input_.push_back(record); }

DWORD ConsoleModel::peek_input(std::span<INPUT_RECORD> records) const noexcept {
  const std::size_t n = std::min(records.size(), input_.size());
  std::copy_n(input_.begin(), n, records.begin());
  return static_cast<DWORD>(n);
}

DWORD ConsoleModel::read_input(std::span<INPUT_RECORD> records) noexcept {
  const DWORD n = peek_input(records);
  input_.erase(input_.begin(), input_.begin() + n);
  return n;
}

// ---- Control handlers ----------------------------------------------------------------

bool ConsoleModel::add_control_handler(PHANDLER_ROUTINE routine) {
  if (routine == nullptr) return false;
  handlers_.push_back(routine);
  return true;
}

bool ConsoleModel::remove_control_handler(PHANDLER_ROUTINE routine) noexcept {
  // The latest registration goes first, as a handler added twice must be removed twice.
  const auto found = std::find(handlers_.rbegin(), handlers_.rend(), routine);
  if (found == handlers_.rend()) return false;
  handlers_.erase(std::next(found).base());
  return true;
}

std::vector<PHANDLER_ROUTINE> ConsoleModel::control_handlers() const { return {handlers_.rbegin(), handlers_.rend()}; }

bool call_control_handlers(std::span<const PHANDLER_ROUTINE> handlers, DWORD event) {
  return std::any_of(handlers.begin(), handlers.end(), [event](PHANDLER_ROUTINE h) { return h(event) != FALSE; });
}

}  // namespace lumetra
