// The line editor on a test console: keys in, line and screen out; and the
// field rules on typed lines.
#include "console/line_editor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "console/line_input.h"
#include "key_test_support.h"
#include "support/key_states.h"

namespace lumetra {
namespace {

using namespace key_states;

struct TypedKey {
  WORD vk;
  WORD scan;
  unsigned char character;
  DWORD state;
};

constexpr TypedKey enter{0x0D, 0x1C, 0x0D, 0};
constexpr TypedKey tab{0x09, 0x0F, 0x09, 0};
constexpr TypedKey backspace{0x08, 0x0E, 0x08, 0};
constexpr TypedKey escape{0x1B, 0x01, 0x1B, 0};
constexpr TypedKey left{0x25, 0x4B, 0, ENHANCED_KEY};
constexpr TypedKey right{0x27, 0x4D, 0, ENHANCED_KEY};
constexpr TypedKey up{0x26, 0x48, 0, ENHANCED_KEY};
constexpr TypedKey down{0x28, 0x50, 0, ENHANCED_KEY};
constexpr TypedKey home{0x24, 0x47, 0, ENHANCED_KEY};
constexpr TypedKey end{0x23, 0x4F, 0, ENHANCED_KEY};
constexpr TypedKey del{0x2E, 0x53, 0, ENHANCED_KEY};
constexpr TypedKey f1{0x70, 0x3B, 0, 0};

void type(ScopedTestConsole& console, const TypedKey& key) {
  console.push_key(key.vk, key.scan, key.character, key.state);
}

void type(ScopedTestConsole& console, std::string_view text) {
  for (const char c : text) console.push_key(0, 0, static_cast<unsigned char>(c));
}

void type(ScopedTestConsole& console, std::initializer_list<TypedKey> keys) {
  for (const TypedKey& key : keys) type(console, key);
}

// Edits a line from what was typed; when the editor runs out of keys, the
// cursor is noted and Enter typed.
struct Edited {
  std::string line;
  COORD cursor_before_enter{-1, -1};
};

Edited edit(ScopedTestConsole& console) {
  Edited edited;
  console.on_sleep([&](DWORD) {
    edited.cursor_before_enter = console.cursor();
    type(console, enter);
  });
  Text line;
  edit_line(line);
  edited.line = std::string(line.view());
  return edited;
}

std::string screen_row(ScopedTestConsole& console, int row, std::size_t length) {
  return console.row_text(row).substr(0, length);
}

TEST(LineEditor, InsertsAtTheCursor) {
  KeyConsole console;
  type(*console, "abc");
  type(*console, {left, left});
  type(*console, "X");
  const Edited edited = edit(*console);
  EXPECT_EQ(edited.line, "aXbc");
  EXPECT_EQ(screen_row(*console, 0, 5), "aXbc ");
  EXPECT_EQ(edited.cursor_before_enter.X, 2);
  EXPECT_EQ(console->cursor().X, 4);  // Enter leaves the cursor after the line
  EXPECT_TRUE(console->cursor_visible());
}

TEST(LineEditor, ShowsTheCursorWhileEditingAndRestoresItsVisibility) {
  KeyConsole console;
  std::int32_t packed = 0;
  ASSERT_EQ(set_cursor_position(0, 0, 0, &packed), 0);
  type(*console, "a");
  bool visible_while_editing = false;
  console->on_sleep([&](DWORD) {
    visible_while_editing = console->cursor_visible();
    type(*console, enter);
  });
  Text line;
  edit_line(line);
  EXPECT_TRUE(visible_while_editing);
  EXPECT_FALSE(console->cursor_visible());
}

TEST(LineEditor, StartsAtTheCursorAfterThePrompt) {
  KeyConsole console;
  console_write("Name: ", 6, 0);
  type(*console, "ab");
  type(*console, {home});
  type(*console, "_");
  type(*console, {end});
  type(*console, "!");
  const Edited edited = edit(*console);
  EXPECT_EQ(edited.line, "_ab!");
  EXPECT_EQ(screen_row(*console, 0, 11), "Name: _ab! ");
  EXPECT_EQ(edited.cursor_before_enter.X, 10);
}

TEST(LineEditor, TabInsertsBlanksToTheNextStopOfTheLine) {
  struct Case {
    std::string before;
    std::size_t blanks;
  };
  for (const Case& c : {Case{"", 8}, Case{"abcde", 3}, Case{"abcdefgh", 8}}) {
    SCOPED_TRACE(c.before);
    KeyConsole console;
    console_write(">", 1, 0);  // tab stops count from the line, not the screen
    type(*console, c.before);
    type(*console, {tab});
    type(*console, "x");
    const std::string expected = c.before + std::string(c.blanks, ' ') + "x";
    EXPECT_EQ(edit(*console).line, expected);
    EXPECT_EQ(screen_row(*console, 0, expected.size() + 1), ">" + expected);
  }
}

TEST(LineEditor, EscapeErasesTheLineOnScreen) {
  KeyConsole console;
  console_write("> ", 2, 0);
  type(*console, "hello");
  type(*console, {left, left, escape});
  const Edited edited = edit(*console);
  EXPECT_EQ(edited.line, "");
  EXPECT_EQ(screen_row(*console, 0, 8), "> " + std::string(6, ' '));
  EXPECT_EQ(edited.cursor_before_enter.X, 2);
}

TEST(LineEditor, DeleteAndBackspace) {
  struct Case {
    const char* name;
    std::vector<TypedKey> keys;
    std::string line;
    std::size_t beeps;
  };
  const Case cases[] = {
      {"Delete in the line", {home, del}, "bc", 0},
      {"Delete at the end beeps", {del}, "abc", 1},
      {"Backspace in the line", {left, backspace}, "ac", 0},
      {"Backspace at the start does nothing", {home, backspace, backspace}, "abc", 0},
      {"Left at the start, Right at the end do nothing", {right, home, left, backspace}, "abc", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KeyConsole console;
    type(*console, "abc");
    for (const TypedKey& key : c.keys) type(*console, key);
    EXPECT_EQ(edit(*console).line, c.line);
    EXPECT_EQ(screen_row(*console, 0, 4), c.line + std::string(4 - c.line.size(), ' '));
    ASSERT_EQ(console->beeps().size(), c.beeps);
    if (c.beeps != 0) {
      EXPECT_EQ(console->beeps()[0].frequency, 1000u);
      EXPECT_EQ(console->beeps()[0].duration_ms, 250u);
    }
  }
}

TEST(LineEditor, CtrlKeysActAsTheirControlCharacters) {
  struct Case {
    const char* name;
    TypedKey key;
    std::string line;
  };
  const Case cases[] = {
      {"Ctrl+H is Backspace", {0x48, 0x23, 0x08, ctrl}, "a"},
      {"Ctrl+I is Tab", {0x49, 0x17, 0x09, ctrl}, "ab      "},
      {"Ctrl+M is Enter", {0x4D, 0x32, 0x0D, ctrl}, "ab"},
      {"Ctrl+J is Enter", {0x4A, 0x24, 0x0A, ctrl}, "ab"},
      {"Ctrl+[ is Escape", {0xDB, 0x1A, 0x1B, ctrl}, ""},
      {"Ctrl+Backspace inserts 127", {0x08, 0x0E, 0x7F, ctrl}, "ab\x7F"},
      {"F1 is ignored", f1, "ab"},
      {"Ctrl+A is ignored", {0x41, 0x1E, 0x01, ctrl}, "ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KeyConsole console;
    type(*console, "ab");
    type(*console, c.key);
    EXPECT_EQ(edit(*console).line, c.line);
    EXPECT_TRUE(console->beeps().empty());
  }
}

// Edits the typed line and checks it, the screen rows from the top, and the
// cursor before Enter.
void expect_edit(ScopedTestConsole& console, std::string_view line, std::vector<std::string> rows, COORD cursor) {
  const Edited edited = edit(console);
  EXPECT_EQ(edited.line, line);
  for (std::size_t row = 0; row < rows.size(); ++row) {
    EXPECT_EQ(console.row_text(static_cast<int>(row)), rows[row]) << "row " << row;
  }
  EXPECT_EQ(edited.cursor_before_enter.X, cursor.X);
  EXPECT_EQ(edited.cursor_before_enter.Y, cursor.Y);
}

TEST(LineEditor, LongLineWrapsAndUpDownMoveOneRow) {
  KeyConsole console(10, 5);
  type(*console, "abcdefghijklmnopqrstuvwxy");  // 25 bytes: rows 0 to 2
  type(*console, {up, up, up});                 // the third would leave the line
  type(*console, "1");
  type(*console, {down, down, down});
  type(*console, "2");
  expect_edit(*console, "abcde1fghijklmnopqrstuvwxy2", {"abcde1fghi", "jklmnopqrs", "tuvwxy2   "}, {7, 2});
}

TEST(LineEditor, InsertInAWrappedLineMovesTheRestAcrossRows) {
  KeyConsole console(10, 5);
  type(*console, "0123456789abc");
  type(*console, {home, right});
  type(*console, "XY");
  expect_edit(*console, "0XY123456789abc", {"0XY1234567", "89abc     "}, {3, 0});
}

TEST(LineEditor, CharacterInTheBottomRightCellScrollsTheView) {
  KeyConsole console(10, 3);
  console_write("\r\n\r\n", 4, 0);  // start on the last row
  type(*console, "abcdefghij");
  expect_edit(*console, "abcdefghij", {std::string(10, ' '), "abcdefghij", std::string(10, ' ')}, {0, 2});
}

TEST(LineEditor, InsertThatScrollsKeepsTheCursorAfterTheInsertedByte) {
  KeyConsole console(10, 3);
  console_write("\r\n\r\n", 4, 0);
  type(*console, "abcdefghij");  // scrolls once
  type(*console, "klmnopqrs");
  type(*console, {left, left, left});
  type(*console, "XY");  // the Y pushes the s past the bottom-right cell
  expect_edit(*console, "abcdefghijklmnopXYqrs", {"abcdefghij", "klmnopXYqr", "s         "}, {8, 1});
}

TEST(LineEditor, AdvancePositionFollowsTheGrid) {
  struct Case {
    ScreenPosition from;
    std::int32_t distance;
    ScreenPosition to;
  };
  const Case cases[] = {
      {{1, 1}, 0, {1, 1}},   {{1, 1}, 9, {10, 1}},   {{1, 1}, 10, {1, 2}},  {{5, 3}, 25, {10, 5}},
      {{1, 2}, -1, {10, 1}}, {{3, 2}, -13, {10, 0}}, {{1, 1}, -10, {1, 0}}, {{10, 25}, 1, {1, 26}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from.column) + "," + std::to_string(c.from.row) + " by " +
                 std::to_string(c.distance));
    const ScreenPosition to = advance_position(c.from, c.distance, 10);
    EXPECT_EQ(to.column, c.to.column);
    EXPECT_EQ(to.row, c.to.row);
  }
}

// ---- Field rules on typed lines ---------------------------------------------------

// Types the text while the editor waits, in parts the key buffer can hold,
// then Enter; the first two fields of the line.
std::pair<std::string, std::string> typed_fields(const std::string& typed) {
  KeyConsole console;
  std::size_t done = 0;
  console->on_sleep([&](DWORD) {
    const std::size_t part = std::min<std::size_t>(typed.size() - done, 500);
    type(*console, std::string_view(typed).substr(done, part));
    done += part;
    if (part == 0) type(*console, enter);
  });
  EXPECT_EQ(ask_line(nullptr, false, true), 0);
  Text first, second;
  EXPECT_EQ(read_text_field(first), 0);
  EXPECT_EQ(read_text_field(second), 0);
  return {std::string(first.view()), std::string(second.view())};
}

TEST(LineEditor, TypedLinesFollowTheFieldRules) {
  struct Case {
    const char* name;
    std::string typed;
    std::string field;
    std::string next = "";  // the field after it on the line
  };
  const Case cases[] = {
      {"leading blanks dropped, trailing kept", "  C:\\daten\\pv.csv  ", "C:\\daten\\pv.csv  "},
      {"quoted field with comma and blank", "\"C:\\Mein Ordner\\a,b.csv\"", "C:\\Mein Ordner\\a,b.csv"},
      {"quote inside a plain field", "ab\"c", "ab\"c"},
      {"unterminated quote", "\"abc", "abc"},
      {"comma ends the field", "a,b", "a", "b"},
      {"blank line", "   ", ""},
      {"cut at 4096 bytes, the rest dropped", std::string(5000, 'x') + ",next", std::string(4096, 'x'), "next"},
      {"quoted, cut at 4096 bytes", std::string("\"").append(5000, 'q') + ",q\"next", std::string(4096, 'q'), "next"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(typed_fields(c.typed), std::make_pair(c.field, c.next));
  }
}

TEST(LineEditor, RestOfTheLineIsDroppedAtTheNextLine) {
  KeyConsole console;
  type(*console, "a,b");
  type(*console, {enter});
  type(*console, "c");
  type(*console, {enter});
  Text field;
  ASSERT_EQ(ask_line("? ", false, true), 0);
  ASSERT_EQ(read_text_field(field), 0);
  EXPECT_EQ(field.view(), "a");
  ASSERT_EQ(ask_line(nullptr, false, true), 0);
  ASSERT_EQ(read_text_field(field), 0);
  EXPECT_EQ(field.view(), "c");
}

}  // namespace
}  // namespace lumetra
