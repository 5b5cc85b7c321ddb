// Console line input: ask_line and the field rules of read_text_field.
#include "console/line_input.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

#include "console/console_internal.h"
#include "console/console_output.h"
#include "console/line_editor.h"
#include "files/file_slots.h"
#include "files/line_reader.h"
#include "files/print_output.h"
#include "runtime/runtime_error.h"
#include "system/console_api.h"
#include "system/standard_input.h"

namespace lumetra {
namespace {

constexpr int end_of_input = -1;
constexpr char ctrl_z = 0x1A;

// Where the next field comes from: the line last typed, or a file slot (the
// console slot while standard input is redirected).
struct InputSource {
  FileSlot* slot = nullptr;
  Text text;
  std::int32_t pos = 0;
};

InputSource source;

int read_character() noexcept {
  if (source.slot != nullptr) {
    char byte = 0;
    std::int32_t count = 1;
    if (file_get(*source.slot, 0, &byte, &count, false, false) != 0 || count == 0) return end_of_input;
    if (byte == ctrl_z) {
      // Ctrl+Z ends redirected names as it ends a text file. Handed back, it
      // ends every later read too.
      (void)file_put_back(*source.slot, &byte, 1);
      return end_of_input;
    }
    return static_cast<unsigned char>(byte);
  }
  const std::string_view line = source.text.view();
  if (source.pos >= static_cast<std::int32_t>(line.size())) return end_of_input;
  return static_cast<unsigned char>(line[source.pos++]);
}

void hand_back(int character) noexcept {
  if (source.slot != nullptr) {
    const char byte = static_cast<char>(character);
    file_put_back(*source.slot, &byte, 1);
  } else if (source.pos > 0) {
    --source.pos;
  }
}

bool is_blank(int character) noexcept { return character == ' ' || character == '\t'; }

// After a CR: an LF belongs to the line end, anything else but the end is
// handed back.
void take_line_feed_after_return() noexcept {
  const int next = read_character();
  if (next != '\n' && next != end_of_input) hand_back(next);
}

// Blanks after the field are skipped; a comma or LF (or CR LF) that ends it
// is consumed; anything else starts the next field and is handed back.
void finish_field() noexcept {
  int character = read_character();
  while (is_blank(character)) character = read_character();
  if (character == '\r') {
    take_line_feed_after_return();
  } else if (character != ',' && character != '\n' && character != end_of_input) {
    hand_back(character);
  }
}

// A byte order mark before redirected names (a names file saved by a
// Windows editor) is no part of the first name; other bytes are handed back.
void skip_byte_order_mark() noexcept {
  constexpr std::string_view mark = "\xEF\xBB\xBF";
  char bytes[mark.size()];
  std::size_t count = 0;
  while (count < mark.size()) {
    const int character = read_character();
    if (character == end_of_input) break;
    bytes[count++] = static_cast<char>(character);
    if (bytes[count - 1] != mark[count - 1]) break;
  }
  if (std::string_view(bytes, count) != mark)
    (void)file_put_back(*source.slot, bytes, static_cast<std::int32_t>(count));
}

// Stores the field's bytes, at most field_size of them: the rest of a longer
// field is read and dropped, so that the next field starts where a field
// starts. Returns how many were stored.
std::int32_t read_field(char* field) noexcept {
  int character = read_character();
  while (is_blank(character)) character = read_character();
  const bool quoted = character == '"';
  if (quoted) character = read_character();
  std::int32_t stored = 0;
  for (;; character = read_character()) {
    if (character == end_of_input || (quoted && character == '"')) {
      finish_field();
      return stored;
    }
    if ((!quoted && character == ',') || character == '\n') return stored;
    if (character == '\r') {
      take_line_feed_after_return();
      return stored;
    }
    if (stored < field_size) field[stored++] = static_cast<char>(character);
  }
}

// Standard output is a terminal that the console cannot draw on (or another
// character device) while the keys come from a terminal: the line editor
// would echo without cursor control, so the terminal's own line mode shows
// and edits the line instead.
bool typed_in_line_mode() noexcept {
  return handle_is_redirected(false) && GetFileType(console_handle(false)) == FILE_TYPE_CHAR;
}

// Reads a line in the terminal's line mode, without the CR LF that ends it.
// A zero byte ends what a chunk adds, as it would end the field.
void read_terminal_line(Text& line) noexcept {
  char chunk[256];
  DWORD count = 0;
  do {
    if (!ReadConsoleA(console_handle(true), chunk, sizeof chunk - 1, &count, nullptr)) count = 0;
    chunk[count] = '\0';
    (void)append_text(line, static_cast<const char*>(chunk));
  } while (count > 0 && chunk[count - 1] != '\n');
  const std::string_view typed = line.view();
  const std::size_t line_end = typed.ends_with("\r\n") ? 2 : typed.ends_with('\n') ? 1 : 0;
  TextDescriptor& text = line.descriptor();
  text.length -= static_cast<std::uint32_t>(line_end);
  if (text.data != nullptr) text.data[text.length] = '\0';
}

// Reads a line with the editor, or in line mode, into a pool temporary;
// false when the pool has no descriptor for it.
bool read_typed_line(TempText& line, bool line_mode) noexcept {
  TextDescriptor* descriptor = take_pool_descriptor();
  if (descriptor == nullptr) return false;
  Text edited;
  if (line_mode) {
    read_terminal_line(edited);
  } else {
    edit_line(edited);
  }
  *descriptor = std::exchange(edited.descriptor(), TextDescriptor{});
  descriptor->length |= text_temporary_flag;
  line = TempText(descriptor);
  return true;
}

}  // namespace

bool input_redirected() noexcept { return handle_is_redirected(true); }

std::int32_t read_redirected_bytes(FileSlot&, char* destination, std::int32_t* count) noexcept {
  const std::int32_t delivered = read_standard_input(destination, *count);
  std::fill(destination + delivered, destination + *count, '\0');
  *count = delivered;
  return set_error_number(RuntimeError::None);
}

std::int32_t ask_line(TextArg prompt, bool question_mark, bool line_end) noexcept {
  prepare_console_slot();
  const bool redirected = input_redirected();
  if (redirected && console_device_ops().read == nullptr) console_device_ops().read = read_redirected_bytes;
  release_text(source.text);
  source.pos = 0;
  if (redirected) {
    set_names_typed(false);
    source.slot = &console_slot();
    if (!std::exchange(console_state().redirected_names_begun, true)) skip_byte_order_mark();
    return set_error_number(RuntimeError::None);
  }
  source.slot = nullptr;
  console_write(nullptr, 0, console_write_settle);
  if (!prompt.absent()) {
    print_text(0, std::move(prompt), 0);
    if (question_mark) print_plain_text(0, "? ", 0);
  }
  TempText line;
  const bool line_mode = typed_in_line_mode();
  set_names_typed(!line_mode);  // in line mode the terminal's own bytes arrive
  const bool have_line = read_typed_line(line, line_mode);
  if (line_mode && have_line) {
    console_slot().column = 0;  // the terminal's echo of Enter has ended the line
  } else if (line_end) {
    print_ending(0, 1);
  }
  if (!have_line) return set_error_number(RuntimeError::OutOfMemory);
  assign_text(source.text, std::move(line));
  return set_error_number(RuntimeError::None);
}

std::int32_t read_text_field(Text& target) noexcept {
  char field[field_size + 1];
  const std::int32_t stored = read_field(field);
  const auto length = static_cast<std::size_t>(std::find(field, field + stored, '\0') - field);
  field[length] = '\0';
  assign_text(target, static_cast<const char*>(field));
  return set_error_number(RuntimeError::None);
}

}  // namespace lumetra
