// Terminal renderer: turns every change of the console model into VT bytes,
// so that the terminal shows the model as the model holds it.
//
// The terminal shows a view of the model's window: all of it when the
// terminal is large enough, else the part of the terminal's size that holds
// the cursor (the rows up to the cursor's row, the columns around it). The
// model never changes size with the terminal, so nothing written is clipped
// or lost; the view follows the cursor at the end of every console call.
#pragma once

#include <optional>
#include <string>

#include "console_host/console_model.h"
#include "console_host/terminal_charset.h"

namespace lumetra {

class TerminalRenderer final : public ConsoleObserver {
 public:
  // The terminal is as large as the model's window. Nothing is known of its
  // cursor, colours or cursor visibility until the renderer has set them.
  TerminalRenderer(const ConsoleModel& model, TerminalCharset charset);

  void cells_changed(const SMALL_RECT& area) override;
  void region_scrolled(const SMALL_RECT& source, const SMALL_RECT& clip, COORD destination) override;
  void window_moved(const SMALL_RECT& previous) override;
  void bell() override;

  // The terminal's cursor stands at this view position (a start-up query
  // found it there).
  void set_terminal_cursor(COORD position) noexcept;
  // The terminal has this size now, and what it shows is no longer known
  // (resized, or drawn on by others while the program was stopped): the
  // view is placed around the cursor and drawn anew.
  void restart(COORD terminal_size);
  // Clears the terminal and draws the whole view.
  void repaint();
  // Ends a console call: moves the view to the cursor if it left it, brings
  // the terminal's cursor to the model's cursor and visibility, and hands
  // over every byte produced since the last call.
  [[nodiscard]] std::string take_output();

  // The part of the model's buffer that the terminal shows, from its top
  // left corner on.
  [[nodiscard]] SMALL_RECT view() const noexcept { return view_; }

 private:
  void move_to(int column, int row);
  void send_attribute(WORD attribute);
  void draw_span(int buffer_row, int first_column, int last_column);
  void draw_rows(int first_buffer_row, int last_buffer_row);
  void scroll_screen_band(int top, int bottom, int rows);
  [[nodiscard]] bool covers_view_columns(const SMALL_RECT& area) const noexcept;
  void append_csi(int first, int second, char final_byte);
  [[nodiscard]] SMALL_RECT fitted_view(int left, int top) const noexcept;
  [[nodiscard]] SMALL_RECT view_with_cursor(const SMALL_RECT& view) const noexcept;
  void show(const SMALL_RECT& view);

  const ConsoleModel& model_;
  TerminalCharset charset_;
  std::string out_;
  COORD terminal_size_;
  SMALL_RECT view_;
  bool cursor_known_ = false;
  int cursor_column_ = 0;  // terminal coordinates
  int cursor_row_ = 0;
  std::optional<WORD> attribute_;
  std::optional<bool> cursor_visible_;
};

}  // namespace lumetra
