// Console output on a test console: colours, control characters, the
// deferred line wrap, scrolling, the window following the text, and cursor
// placement.
#include "console/console_output.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "runtime/runtime_error.h"
#include "support/test_console.h"

namespace lumetra {
namespace {

// A test console with the console output state of a fresh process.
class OutputConsole {
 public:
  OutputConsole(int columns, int rows, int buffer_rows = 0) : console_(columns, rows, buffer_rows) {
    reset_console_state();
  }
  ScopedTestConsole* operator->() noexcept { return &console_; }

  // Buffer row n starts with the digit n, so that scrolling shows.
  void number_rows() {
    for (int row = 0; row < console_.model().size().Y; ++row) {
      DWORD filled = 0;
      ASSERT_TRUE(FillConsoleOutputCharacterA(GetStdHandle(STD_OUTPUT_HANDLE), static_cast<CHAR>('0' + row), 1,
                                              {0, SHORT(row)}, &filled));
    }
  }
  // Puts the cursor at a buffer position without console_write's help.
  void place(int row, int column) {
    ASSERT_TRUE(SetConsoleCursorPosition(GetStdHandle(STD_OUTPUT_HANDLE), {SHORT(column), SHORT(row)}));
  }
  void write(std::string_view text, std::int32_t flags = 0) {
    console_write(text.data(), static_cast<std::int32_t>(text.size()), flags);
  }
  [[nodiscard]] std::string row(int y) const {
    std::string text = console_.row_text(y);
    return text.substr(0, text.find_last_not_of(' ') + 1);
  }
  void expect_cursor(int column, int row) const {
    EXPECT_EQ(console_.cursor().X, column);
    EXPECT_EQ(console_.cursor().Y, row);
  }

 private:
  ScopedTestConsole console_;
};

TEST(ConsoleOutput, ColoursComeFromTheStoredNumbersNotTheConsole) {
  OutputConsole console(20, 5);
  ASSERT_TRUE(SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), 0x1F));  // white on blue
  set_colours(14, 0, colours_keep_background);
  EXPECT_EQ(console->model().attribute(), 0x0E);
  console.write("x");
  EXPECT_EQ(console->attribute_at(0, 0), 0x0E);
}

TEST(ConsoleOutput, ColourNumbersAreTakenByTheirLowFourBits) {
  OutputConsole console(20, 5);
  EXPECT_EQ(set_colours(16, -1, 0), 7);
  EXPECT_EQ(console->model().attribute(), 0xF0);  // black on bright white
  EXPECT_EQ(set_colours(0, 0, colours_keep_foreground | colours_keep_background), 0 | 15 << 16);
  EXPECT_EQ(console->model().attribute(), 0xF0);
}

TEST(ConsoleOutput, TabStopsEveryEightColumns) {
  OutputConsole console(20, 5);
  console.write("A\tB");
  EXPECT_EQ(console.row(0), "A       B");  // B in column 9
  console.write("\r12345678\tC\t");
  EXPECT_EQ(console.row(0), "12345678        C");
  console.expect_cursor(4, 1);  // the second tab's blanks wrapped to the next row
}

TEST(ConsoleOutput, FillingTheLastRowDefersTheScrollToTheNextWrite) {
  struct Case {
    const char* name;
    const char* text;
    std::int32_t flags;
    const char* top_row;
    const char* bottom_row;
    int cursor_column;
  };
  const Case cases[] = {
      {"next write", "k", 0, "1", "k", 1},
      {"empty write that settles", "", console_write_settle, "1", "", 0},
      {"empty write", "", 0, "0", "abcdefghij", 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OutputConsole console(10, 4);
    console.number_rows();
    console.place(3, 0);
    console.write("abcdefghij");
    EXPECT_EQ(console.row(0), "0");
    EXPECT_EQ(console.row(3), "abcdefghij");
    console.expect_cursor(9, 3);
    console.write(c.text, c.flags);
    EXPECT_EQ(console.row(0), c.top_row);
    EXPECT_EQ(console.row(3), c.bottom_row);
    console.expect_cursor(c.cursor_column, 3);
  }
}

TEST(ConsoleOutput, LineEndOnTheBottomRowScrollsAtOnce) {
  OutputConsole console(10, 4);
  console.number_rows();
  console.place(3, 1);
  console.write("x\r\n");
  EXPECT_EQ(console.row(0), "1");
  EXPECT_EQ(console.row(2), "3x");
  EXPECT_EQ(console.row(3), "");
  console.expect_cursor(0, 3);
}

TEST(ConsoleOutput, LineFeedsAtTheBottomScrollTogetherAtTheEnd) {
  OutputConsole console(10, 4);
  console.number_rows();
  std::string terminal;
  console->render_to([&](std::string_view bytes) { terminal += bytes; });
  console.place(3, 1);
  terminal.clear();
  console.write("ab\n\n\n");
  EXPECT_EQ(console.row(0), "3ab");
  EXPECT_EQ(console.row(1), "");
  console.expect_cursor(0, 3);
  // One scroll by three rows: three line feeds inside one pair of margins.
  EXPECT_NE(terminal.find("\x1b[1;4r\x1b[4;1H\n\n\n\x1b[1;4r"), std::string::npos) << terminal;
  EXPECT_EQ(terminal.find("\x1b[1;4r", terminal.find("\n\n\n") + 10), std::string::npos);
}

TEST(ConsoleOutput, BackspaceMovesLeftWithoutErasingAndStopsAtTheLeftColumn) {
  OutputConsole console(10, 4);
  console.write("ab\b");
  console.expect_cursor(1, 0);
  EXPECT_EQ(console.row(0), "ab");
  console.write("X");
  EXPECT_EQ(console.row(0), "aX");
  console.write("\r\b\b");
  console.expect_cursor(0, 0);
  console.place(1, 0);
  console.write("\b");
  console.expect_cursor(0, 1);  // never to the previous row
}

TEST(ConsoleOutput, BellSoundsBeforeTheTextBeforeItIsShown) {
  OutputConsole console(10, 4);
  std::string terminal;
  console->render_to([&](std::string_view bytes) { terminal += bytes; });
  console.write(
      "ab\x07"
      "cd");
  ASSERT_EQ(console->beeps().size(), 1u);
  EXPECT_EQ(console->beeps()[0].frequency, 1000u);
  EXPECT_EQ(console->beeps()[0].duration_ms, 250u);
  EXPECT_EQ(console.row(0), "abcd");
  EXPECT_LT(terminal.find('\a'), terminal.find("abcd"));
  // A line end in between shows the text first.
  terminal.clear();
  console.write("ef\r\x07");
  EXPECT_LT(terminal.find("ef"), terminal.find('\a'));
}

TEST(ConsoleOutput, WindowMovesDownBeforeTheBufferScrolls) {
  OutputConsole console(10, 3, 5);
  console.number_rows();
  set_colours(14, 1, 0);
  console.place(2, 1);
  console.write("\n");
  EXPECT_EQ(console->model().window().Top, 1);
  console.expect_cursor(0, 3);
  console.write("a\nb\n");
  EXPECT_EQ(console->model().window().Top, 2);
  EXPECT_EQ(console.row(0), "1");  // the buffer itself scrolled by one row
  EXPECT_EQ(console.row(2), "a");
  EXPECT_EQ(console.row(3), "b");
  EXPECT_EQ(console.row(4), "");
  EXPECT_EQ(console->attribute_at(9, 4), 0x1E);  // new rows blank in the current colours
  console.expect_cursor(0, 4);
  std::int32_t rows = 0;
  console_size(nullptr, &rows);
  EXPECT_EQ(rows, 3);
  EXPECT_EQ(cursor_row(), 3);
}

TEST(ConsoleOutput, SetCursorPositionRefusesPlacesOutsideTheTextLines) {
  OutputConsole console(10, 4);
  console.place(1, 2);
  struct Case {
    std::int32_t row, column;
  };
  for (const Case c : {Case{5, 1}, Case{-1, 1}, Case{1, 11}, Case{1, -1}}) {
    SCOPED_TRACE(testing::Message() << c.row << "," << c.column);
    std::int32_t packed = -1;
    EXPECT_EQ(set_cursor_position(c.row, c.column, 1, &packed), 1);
    EXPECT_EQ(error_number(), 1);
    EXPECT_EQ(packed, 0);
    console.expect_cursor(2, 1);
  }
  std::int32_t packed = 0;
  EXPECT_EQ(set_cursor_position(4, 10, 0, &packed), 0);
  EXPECT_EQ(packed, 10 + 4 * 256 + 65536);
  console.expect_cursor(9, 3);
  EXPECT_FALSE(console->cursor_visible());
  EXPECT_EQ(set_cursor_position(1, 0, -1, &packed), 0);
  EXPECT_EQ(packed, 10 + 1 * 256);  // column kept, cursor was hidden
  console.expect_cursor(9, 0);
}

TEST(ConsoleOutput, SetCursorPositionAtRowAndColumnZeroKeepsThePlaceAndClearsAPendingWrap) {
  OutputConsole console(10, 4);
  console.number_rows();
  console.place(3, 0);
  console.write("abcdefghij");
  std::int32_t packed = 0;
  EXPECT_EQ(set_cursor_position(0, 0, 1, &packed), 0);
  EXPECT_EQ(packed, 10 + 4 * 256 + 65536);
  console.expect_cursor(9, 3);
  console.write("x");  // no scroll first: the wrap is no longer pending
  EXPECT_EQ(console.row(0), "0");
  EXPECT_EQ(console.row(3), "abcdefghix");
}

}  // namespace
}  // namespace lumetra
