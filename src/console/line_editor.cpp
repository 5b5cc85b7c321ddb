// Line editor: each key rewrites only the part of the line from the cursor to
// its end, and the cursor follows the line across wrapped rows.
#include "console/line_editor.h"

#include <cstring>

#include "console/console_output.h"
#include "console/key_buffer.h"
#include "system/console_api.h"
#include "system/console_batch.h"

namespace lumetra {
namespace {

constexpr DWORD key_poll_ms = 25;
constexpr std::int32_t tab_width = 8;
constexpr DWORD delete_beep_hz = 1000;
constexpr DWORD delete_beep_ms = 250;

constexpr std::int32_t key_home = extended_key(0x47);
constexpr std::int32_t key_up = extended_key(0x48);
constexpr std::int32_t key_left = extended_key(0x4B);
constexpr std::int32_t key_right = extended_key(0x4D);
constexpr std::int32_t key_end = extended_key(0x4F);
constexpr std::int32_t key_down = extended_key(0x50);
constexpr std::int32_t key_delete = extended_key(0x53);

struct LineEditor {
  explicit LineEditor(TextDescriptor& text) noexcept : line(text) {}

  TextDescriptor& line;
  std::uint32_t len = 0;
  std::uint32_t idx = 0;
  ScreenPosition cursor;  // col and row
  std::int32_t width = 0;
  std::int32_t height = 0;
  // What the current key changes on screen.
  std::uint32_t delete_count = 0;
  std::uint32_t insert_count = 0;
  char insert_bytes[tab_width] = {};
};

// Places the cursor; where the console refuses the place, the cursor stays
// where it is (only the visibility is applied).
void place_cursor(ScreenPosition position, std::int32_t visibility) noexcept {
  std::int32_t packed = 0;
  if (set_cursor_position(position.row, position.column, visibility, &packed) != 0) {
    (void)set_cursor_position(0, 0, visibility, &packed);
  }
}

void set_cursor_visibility(std::int32_t visibility) noexcept { place_cursor({0, 0}, visibility); }

void read_cursor(LineEditor& editor) noexcept { editor.cursor = {cursor_column(), cursor_row()}; }

// Moves the cursor by distance bytes of the line. Just past the bottom-right
// corner of the view the cursor is put on that corner and a line end is
// written, which scrolls the view by one row.
void move_edit_cursor(LineEditor& editor, std::int32_t distance) noexcept {
  editor.cursor = advance_position(editor.cursor, distance, editor.width);
  if (editor.cursor.row == editor.height + 1 && editor.cursor.column == 1) {
    place_cursor({editor.width, editor.height}, -1);
    console_write("\r\n", 2, 0);
  } else {
    place_cursor(editor.cursor, -1);
  }
}

std::int32_t signed_count(std::uint32_t count) noexcept { return static_cast<std::int32_t>(count); }

// ---- Keys ------------------------------------------------------------------

// The key code of a key text: its byte, or 255 + 256 * the extended code.
std::int32_t key_code_of(std::string_view key_text) noexcept {
  if (key_text.size() == 1) return static_cast<unsigned char>(key_text[0]);
  if (key_text.size() == 2) return extended_key(static_cast<unsigned char>(key_text[1]));
  return 0;
}

std::int32_t wait_for_key_code() noexcept {
  while (!key_available()) Sleep(key_poll_ms);
  return key_code_of(take_key_text().view());  // the key text is consumed here
}

void move_left(LineEditor& editor, std::uint32_t count) noexcept {
  move_edit_cursor(editor, -signed_count(count));
  editor.idx -= count;
}

void move_right(LineEditor& editor, std::uint32_t count) noexcept {
  move_edit_cursor(editor, signed_count(count));
  editor.idx += count;
}

void backspace(LineEditor& editor) noexcept {
  if (editor.idx == 0) return;
  move_left(editor, 1);
  editor.delete_count = 1;
}

void erase_line(LineEditor& editor) noexcept {
  move_left(editor, editor.idx);
  editor.delete_count = editor.len;
}

void delete_at_cursor(LineEditor& editor) noexcept {
  if (editor.idx < editor.len) {
    editor.delete_count = 1;
  } else {
    (void)Beep(delete_beep_hz, delete_beep_ms);
  }
}

void insert_blanks_to_tab_stop(LineEditor& editor) noexcept {
  editor.insert_count = tab_width - editor.idx % tab_width;
  std::memset(editor.insert_bytes, ' ', editor.insert_count);
}

void insert_character(LineEditor& editor, std::int32_t code) noexcept {
  editor.insert_bytes[0] = static_cast<char>(code);
  editor.insert_count = 1;
}

void act_on_key(LineEditor& editor, std::int32_t code) noexcept {
  const auto width = static_cast<std::uint32_t>(editor.width);
  switch (code) {
    case 8: backspace(editor); break;
    case 9: insert_blanks_to_tab_stop(editor); break;
    case 27: erase_line(editor); break;
    case key_home: move_left(editor, editor.idx); break;
    case key_up:
      if (editor.idx >= width) move_left(editor, width);
      break;
    case key_left:
      if (editor.idx > 0) move_left(editor, 1);
      break;
    case key_right:
      if (editor.idx < editor.len) move_right(editor, 1);
      break;
    case key_end: move_right(editor, editor.len - editor.idx); break;
    case key_down:
      if (editor.idx + width <= editor.len) move_right(editor, width);
      break;
    case key_delete: delete_at_cursor(editor); break;
    default:
      if (code >= 32 && code <= 255) insert_character(editor, code);
      break;
  }
}

// ---- Screen updates ----------------------------------------------------------

void write_line_from_cursor(const LineEditor& editor) noexcept {
  console_write(editor.line.data + editor.idx, signed_count(editor.len - editor.idx), 0);
}

void apply_delete(LineEditor& editor) noexcept {
  const std::uint32_t count = editor.delete_count;
  char* at = editor.line.data + editor.idx;
  std::memmove(at, at + count, editor.len - editor.idx - count + 1);  // with the zero byte
  editor.len -= count;
  editor.line.length = editor.len;
  write_line_from_cursor(editor);
  for (std::uint32_t i = 0; i < count; ++i) console_write(" ", 1, 0);  // cover what moved left
  place_cursor(editor.cursor, -1);
}

// After writing the rest of the line, puts the cursor right after the
// inserted bytes. When the write scrolled the view, the start has moved up,
// so the cursor is found back from where the write ended.
void place_after_insert(LineEditor& editor, ScreenPosition start) noexcept {
  const std::uint32_t count = editor.insert_count;
  const std::uint32_t written = editor.len - editor.idx;
  read_cursor(editor);
  if (written == count) {
    editor.cursor = start;
    move_edit_cursor(editor, signed_count(count));
    return;
  }
  const ScreenPosition end = advance_position(start, signed_count(written), editor.width);
  const bool scrolled = end.row > editor.height + 1 || (end.row == editor.height + 1 && end.column > 1);
  if (scrolled) {
    move_edit_cursor(editor, -signed_count(written - count));
  } else {
    editor.cursor = start;
    move_edit_cursor(editor, signed_count(count));
  }
}

void apply_insert(LineEditor& editor) noexcept {
  const std::uint32_t count = editor.insert_count;
  if (!reserve_text_keeping(editor.line, editor.len + count)) return;  // no memory: the key is dropped
  char* at = editor.line.data + editor.idx;
  std::memmove(at + count, at, editor.len - editor.idx);
  std::memcpy(at, editor.insert_bytes, count);
  editor.len += count;
  editor.line.length = editor.len;
  editor.line.data[editor.len] = '\0';
  const ScreenPosition start = editor.cursor;
  write_line_from_cursor(editor);
  place_after_insert(editor, start);
  editor.idx += count;
}

// Handles one key; returns false when it ended the line. What the key
// changes on screen reaches the terminal in one piece.
bool edit_one_key(LineEditor& editor) noexcept {
  editor.delete_count = 0;
  editor.insert_count = 0;
  read_cursor(editor);
  const std::int32_t code = wait_for_key_code();
  if (code == 0) return true;  // no key after all
  const ConsoleOutputBatch batch;
  act_on_key(editor, code);
  if (editor.delete_count != 0 || editor.insert_count != 0) set_cursor_visibility(0);
  if (editor.delete_count != 0) apply_delete(editor);
  if (editor.insert_count != 0) apply_insert(editor);
  set_cursor_visibility(1);
  return code != 13 && code != 10;
}

}  // namespace

ScreenPosition advance_position(ScreenPosition from, std::int32_t distance, std::int32_t width) noexcept {
  const std::int64_t offset = std::int64_t{from.column} - 1 + distance;
  std::int64_t rows = offset / width;
  std::int64_t column = offset % width;
  if (column < 0) {  // floor division, also for negative offsets
    column += width;
    --rows;
  }
  return {static_cast<std::int32_t>(column + 1), static_cast<std::int32_t>(from.row + rows)};
}

void edit_line(Text& line) noexcept {
  LineEditor editor(line.descriptor());
  release_text(line);
  console_size(&editor.width, &editor.height);
  std::int32_t packed = 0;
  (void)set_cursor_position(0, 0, -1, &packed);
  const std::int32_t saved_visibility = (packed & 65536) != 0 ? 1 : 0;
  {
    const ConsoleOutputBatch batch;
    set_cursor_visibility(0);
    set_cursor_visibility(1);
  }
  while (edit_one_key(editor)) {
  }
  const ConsoleOutputBatch batch;
  read_cursor(editor);
  move_edit_cursor(editor, signed_count(editor.len - editor.idx));
  set_cursor_visibility(saved_visibility);
}

}  // namespace lumetra
