// Console output: handles, colours, the view, the cursor, and the console's
// file slot.
#include "console/console_output.h"

#include <memory>

#include "console/console_internal.h"
#include "files/file_slots.h"
#include "files/print_output.h"
#include "runtime/lifecycle.h"
#include "runtime/runtime_error.h"
#include "system/console_batch.h"

namespace lumetra {
namespace {

ConsoleState state;

// Colour number to console attribute; entry n holds n.
constexpr std::array<WORD, 16> colour_map{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

void take_handles() noexcept {
  state.handles_taken = true;
  state.input_handle = GetStdHandle(STD_INPUT_HANDLE);
  state.output_handle = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (state.input_handle != nullptr && GetConsoleMode(state.input_handle, &mode)) {
    SetConsoleMode(state.input_handle, mode | ENABLE_PROCESSED_INPUT);
  }
  state.page_handles = {state.output_handle, nullptr, nullptr, nullptr};
  state.active_page = 0;
  state.visible_page = 0;
}

bool read_console(CONSOLE_SCREEN_BUFFER_INFO* info) noexcept {
  return GetConsoleScreenBufferInfo(console_handle(false), info) != FALSE;
}

bool cursor_visible() noexcept {
  CONSOLE_CURSOR_INFO info{};
  return GetConsoleCursorInfo(console_handle(false), &info) && info.bVisible;
}

void show_cursor(bool visible) noexcept {
  CONSOLE_CURSOR_INFO info{};
  if (!GetConsoleCursorInfo(console_handle(false), &info)) info.dwSize = 25;
  info.bVisible = visible ? TRUE : FALSE;
  SetConsoleCursorInfo(console_handle(false), &info);
}

bool place_is_valid(std::int32_t row, std::int32_t column) noexcept {
  std::int32_t first = 0;
  std::int32_t last = 0;
  console_text_lines(&first, &last);
  std::int32_t columns = 0;
  console_size(&columns, nullptr);
  if (row != 0 && (row < first + 1 || row > last + 1)) return false;
  return column == 0 || (column >= 1 && column <= columns);
}

}  // namespace

// ---- Shared state -------------------------------------------------------------

ConsoleState& console_state() noexcept { return state; }

void reset_console_state() noexcept { state = ConsoleState{}; }

void register_console_steps() noexcept {
  static constexpr ExitSteps console_steps{.reset = reset_console_state};
  (void)register_exit_steps(console_steps);
  set_console_slot_preparer(prepare_console_slot);
}

HANDLE console_handle(bool want_input) noexcept {
  if (!state.handles_taken) take_handles();
  return want_input ? state.input_handle : state.page_handles[state.active_page];
}

bool handle_is_redirected(bool want_input) noexcept {
  DWORD mode = 0;
  return GetConsoleMode(console_handle(want_input), &mode) == FALSE;
}

std::int32_t set_colours(std::int32_t foreground, std::int32_t background, std::int32_t flags) noexcept {
  const std::int32_t previous = state.foreground | (state.background << 16);
  if ((flags & colours_keep_foreground) == 0) state.foreground = foreground & 15;
  if ((flags & colours_keep_background) == 0) state.background = background & 15;
  const auto attribute = static_cast<WORD>(colour_map[state.background] * 16 + colour_map[state.foreground]);
  SetConsoleTextAttribute(console_handle(false), attribute);
  return previous;
}

// ---- View ---------------------------------------------------------------------

void refresh_console_view() noexcept {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (read_console(&info)) {
    state.view = {0, info.srWindow.Top, static_cast<SHORT>(info.dwSize.X - 1), info.srWindow.Bottom};
  } else {
    state.view = {};
  }
}

const SMALL_RECT& console_view() noexcept {
  if (!state.view_ready) {
    state.view_ready = true;
    refresh_console_view();
  }
  return state.view;
}

bool view_is_degenerate() noexcept {
  const SMALL_RECT& view = console_view();
  return view.Left == view.Right || view.Top == view.Bottom;
}

void console_text_lines(std::int32_t* first, std::int32_t* last) noexcept {
  if (state.first_text_line < 0) {
    std::int32_t rows = 0;
    console_size(nullptr, &rows);
    state.first_text_line = 0;
    state.last_text_line = rows > 0 ? rows - 1 : 24;
  }
  *first = state.first_text_line;
  *last = state.last_text_line;
}

void console_size(std::int32_t* columns, std::int32_t* rows) noexcept {
  const SMALL_RECT& view = console_view();
  const bool degenerate = view_is_degenerate();
  if (columns != nullptr) *columns = degenerate ? 80 : view.Right - view.Left + 1;
  if (rows != nullptr) *rows = degenerate ? 25 : view.Bottom - view.Top + 1;
}

std::int32_t cursor_column() noexcept {
  const SMALL_RECT& view = console_view();
  CONSOLE_SCREEN_BUFFER_INFO info{};
  return read_console(&info) ? info.dwCursorPosition.X - view.Left + 1 : 0;
}

std::int32_t cursor_row() noexcept {
  const SMALL_RECT& view = console_view();
  CONSOLE_SCREEN_BUFFER_INFO info{};
  return read_console(&info) ? info.dwCursorPosition.Y - view.Top + 1 : 0;
}

std::int32_t set_cursor_position(std::int32_t row, std::int32_t column, std::int32_t visibility,
                                 std::int32_t* packed) noexcept {
  set_error_number(RuntimeError::None);
  if (!place_is_valid(row, column)) {
    *packed = 0;
    return set_error_number(RuntimeError::IllegalFunctionCall);
  }
  prepare_console_slot();
  const bool column_given = column != 0;
  if (row == 0) row = cursor_row();
  if (column == 0) column = cursor_column();
  *packed = (column & 255) + (row & 255) * 256 + (cursor_visible() ? 65536 : 0);
  COORD place{static_cast<SHORT>(column), static_cast<SHORT>(row)};
  if (!view_is_degenerate()) {
    place = {static_cast<SHORT>(column + state.view.Left - 1), static_cast<SHORT>(row + state.view.Top - 1)};
  }
  if (visibility >= 0) show_cursor(visibility != 0);
  state.pending_wrap = false;
  SetConsoleCursorPosition(console_handle(false), place);
  if (column_given) console_slot().column = static_cast<std::uint32_t>(column - 1);
  return error_number();
}

// ---- Writing ------------------------------------------------------------------

std::int32_t console_write(const char* text, std::int32_t length, std::int32_t flags) noexcept {
  if (length == 0 && (flags & console_write_settle) == 0) return 0;
  if (!view_is_degenerate()) {
    const ConsoleOutputBatch batch;  // the whole text reaches the terminal at once
    write_windowed(text, length);
    return 0;
  }
  while (length > 0) {
    DWORD written = 0;
    if (!WriteFile(console_handle(false), text, static_cast<DWORD>(length), &written, nullptr)) break;
    text += written;
    length -= static_cast<std::int32_t>(written);
  }
  return 0;
}

// ---- The console's file slot ---------------------------------------------------

void prepare_console_slot() noexcept {
  if (!state.slot_prepared) {
    state.slot_prepared = true;
    FileSlot& slot = console_slot();
    slot = FileSlot{};
    slot.mode = 4;
    slot.access = 3;
    slot.device_type = 4;
    slot.ops = &console_device_ops();
    slot.console_record = std::make_unique<ConsoleSideRecord>();
    std::int32_t columns = 0;
    console_size(&columns, nullptr);
    slot.width = static_cast<std::uint32_t>(columns);
    slot.column = static_cast<std::uint32_t>(cursor_column() - 1);
  }
  if (console_device_ops().write == nullptr) console_device_ops().write = console_device_write;
}

std::int32_t console_device_write(FileSlot&, const char* bytes, std::int32_t length) noexcept {
  console_write(bytes, length, 0);
  return set_error_number(RuntimeError::None);
}

}  // namespace lumetra
