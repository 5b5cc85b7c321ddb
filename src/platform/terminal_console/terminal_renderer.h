// Terminal renderer: turns every change of the console model into VT bytes,
// so that the terminal shows the model's window as the model holds it.
#pragma once

#include <optional>
#include <string>

#include "platform/terminal_console/console_model.h"
#include "platform/terminal_console/terminal_charset.h"

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
  void resized() override;

  // The terminal's cursor stands at this window position (a start-up query
  // found it there).
  void set_terminal_cursor(COORD position) noexcept;
  // Clears the terminal and draws the whole window.
  void repaint();
  // Ends a console call: brings the terminal's cursor to the model's cursor
  // and visibility, and hands over every byte produced since the last call.
  [[nodiscard]] std::string take_output();

 private:
  void move_to(int column, int row);
  void send_attribute(WORD attribute);
  void draw_span(int buffer_row, int first_column, int last_column);
  void draw_rows(int first_buffer_row, int last_buffer_row);
  void scroll_screen_band(int top, int bottom, int rows);
  [[nodiscard]] bool is_band_scroll(const SMALL_RECT& source, const SMALL_RECT& clip, const SMALL_RECT& changed,
                                    int shift) const noexcept;
  void append_csi(int first, int second, char final_byte);

  const ConsoleModel& model_;
  TerminalCharset charset_;
  std::string out_;
  bool cursor_known_ = false;
  int cursor_column_ = 0;  // window coordinates
  int cursor_row_ = 0;
  std::optional<WORD> attribute_;
  std::optional<bool> cursor_visible_;
};

}  // namespace lumetra
