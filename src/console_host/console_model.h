// Console model: a console with the Windows console's semantics held in
// memory (screen buffer cells, window, cursor, modes, input queue, control
// handlers, beep log). It does no I/O; an observer sees every change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "system/console_api.h"

namespace lumetra {

inline constexpr WORD default_console_attribute = 0x07;
inline constexpr DWORD default_cursor_size = 25;

// One character cell: a code page 850 byte and a 16-bit attribute.
struct ConsoleCell {
  unsigned char byte = ' ';
  WORD attribute = default_console_attribute;
  friend bool operator==(const ConsoleCell&, const ConsoleCell&) = default;
};

struct BeepRecord {
  DWORD frequency = 0;
  DWORD duration_ms = 0;
};

// Told about each change after the model has applied it. Rectangles are in
// screen-buffer coordinates, inclusive, and already clipped to the buffer.
class ConsoleObserver {
 public:
  virtual void cells_changed(const SMALL_RECT& area) = 0;
  // The cells of source ∩ clip and destination ∩ clip changed by moving
  // source to destination (origin) and filling what it uncovered.
  virtual void region_scrolled(const SMALL_RECT& source, const SMALL_RECT& clip, COORD destination) = 0;
  virtual void window_moved(const SMALL_RECT& previous) = 0;
  virtual void bell() = 0;

 protected:
  ~ConsoleObserver() = default;
};

class ConsoleModel {
 public:
  // A buffer of columns × buffer_rows blank cells (0x07) whose window is the
  // top window_rows rows; buffer_rows below window_rows counts as window_rows.
  ConsoleModel(int columns, int window_rows, int buffer_rows);

  void set_observer(ConsoleObserver* observer) noexcept { observer_ = observer; }

  // ---- Geometry and cells ----------------------------------------------------
  [[nodiscard]] COORD size() const noexcept { return {static_cast<SHORT>(width_), static_cast<SHORT>(height_)}; }
  [[nodiscard]] SMALL_RECT window() const noexcept { return window_; }
  [[nodiscard]] const ConsoleCell& cell(int x, int y) const noexcept;

  // ---- Screen-buffer operations (false: the call fails, nothing changes) ------
  void get_info(CONSOLE_SCREEN_BUFFER_INFO& info) const noexcept;
  [[nodiscard]] WORD attribute() const noexcept { return attribute_; }
  void set_attribute(WORD attribute) noexcept { attribute_ = attribute; }
  // Copies the cells of a size.X × size.Y array, starting at origin within it,
  // to region; region is clipped to the buffer and the array and comes back
  // as the rectangle written (empty: right < left). No cursor move, no scroll.
  bool write_cells(const CHAR_INFO* cells, COORD size, COORD origin, SMALL_RECT& region) noexcept;
  // Moves source (clipped to the buffer) to destination; only cells inside
  // clip (or the buffer) change, and source cells left uncovered get fill.
  bool scroll(const SMALL_RECT& source, const SMALL_RECT* clip, COORD destination, const CHAR_INFO& fill);
  // Fill count cells from start, row after row, stopping at the buffer end.
  bool fill_attribute(WORD attribute, DWORD count, COORD start, DWORD& filled) noexcept;
  bool fill_character(unsigned char byte, DWORD count, COORD start, DWORD& filled) noexcept;

  [[nodiscard]] COORD cursor() const noexcept { return cursor_; }
  bool set_cursor_position(COORD position) noexcept;
  [[nodiscard]] CONSOLE_CURSOR_INFO cursor_info() const noexcept { return cursor_info_; }
  bool set_cursor_info(const CONSOLE_CURSOR_INFO& info) noexcept;
  // Absolute coordinates, or deltas to the current window when not absolute.
  bool set_window(bool absolute, const SMALL_RECT& window) noexcept;

  void beep(DWORD frequency, DWORD duration_ms);
  [[nodiscard]] const std::vector<BeepRecord>& beeps() const noexcept { return beeps_; }

  // ---- Modes -------------------------------------------------------------------
  [[nodiscard]] DWORD input_mode() const noexcept { return input_mode_; }
  void set_input_mode(DWORD mode) noexcept { input_mode_ = mode; }
  [[nodiscard]] DWORD output_mode() const noexcept { return output_mode_; }
  void set_output_mode(DWORD mode) noexcept { output_mode_ = mode; }

  // ---- Input queue ---------------------------------------------------------------
  void push_input(const INPUT_RECORD& record);
  [[nodiscard]] std::size_t input_count() const noexcept { return input_.size(); }
  // Copies (peek) or removes (read) up to records.size() records, oldest first.
  [[nodiscard]] DWORD peek_input(std::span<INPUT_RECORD> records) const noexcept;
  DWORD read_input(std::span<INPUT_RECORD> records) noexcept;

  // ---- Control handlers ------------------------------------------------------------
  bool add_control_handler(PHANDLER_ROUTINE routine);
  // Fails when the routine is not registered.
  bool remove_control_handler(PHANDLER_ROUTINE routine) noexcept;
  // The handlers in calling order: last registered first.
  [[nodiscard]] std::vector<PHANDLER_ROUTINE> control_handlers() const;

 private:
  ConsoleCell& at(int x, int y) noexcept { return cells_[static_cast<std::size_t>(y) * width_ + x]; }
  [[nodiscard]] bool contains(COORD position) const noexcept;
  [[nodiscard]] SMALL_RECT buffer_rect() const noexcept;
  template <typename Setter>
  DWORD fill_cells(DWORD count, COORD start, Setter set) noexcept;

  int width_;
  int height_;
  std::vector<ConsoleCell> cells_;
  SMALL_RECT window_;
  COORD cursor_{0, 0};
  CONSOLE_CURSOR_INFO cursor_info_{default_cursor_size, TRUE};
  WORD attribute_ = default_console_attribute;
  DWORD input_mode_ = 0;
  DWORD output_mode_ = 0;
  std::deque<INPUT_RECORD> input_;
  std::vector<PHANDLER_ROUTINE> handlers_;  // registration order
  std::vector<BeepRecord> beeps_;
  ConsoleObserver* observer_ = nullptr;
};

// Calls handlers in the given order until one returns TRUE; true when one did.
bool call_control_handlers(std::span<const PHANDLER_ROUTINE> handlers, DWORD event);

}  // namespace lumetra
