// Console operations on the model, through the test console.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "console_host/console_host.h"
#include "support/test_console.h"
#include "system/console_api.h"

namespace lumetra {
namespace {

HANDLE console_output() { return GetStdHandle(STD_OUTPUT_HANDLE); }
HANDLE input() { return GetStdHandle(STD_INPUT_HANDLE); }

CHAR_INFO cell(char c, WORD attribute = 0x07) {
  CHAR_INFO info{};
  info.Char.AsciiChar = c;
  info.Attributes = attribute;
  return info;
}

// Writes text as one row of cells at (x, y).
void put_text(const std::string& text, int x, int y, WORD attribute = 0x07) {
  std::vector<CHAR_INFO> cells;
  for (char c : text) cells.push_back(cell(c, attribute));
  SMALL_RECT region{SHORT(x), SHORT(y), SHORT(x + text.size() - 1), SHORT(y)};
  ASSERT_TRUE(WriteConsoleOutputA(console_output(), cells.data(), {SHORT(text.size()), 1}, {0, 0}, &region));
}

// Fills each row with its own letter: row 0 "aaaa", row 1 "bbbb", ...
void letter_rows(ScopedTestConsole& console) {
  const COORD size = console.model().size();
  for (int y = 0; y < size.Y; ++y) put_text(std::string(size.X, char('a' + y)), 0, y);
}

std::string screen(ScopedTestConsole& console) {
  std::string text;
  for (int y = 0; y < console.model().size().Y; ++y) text += console.row_text(y) + "|";
  return text;
}

TEST(ConsoleModel, WriteOutputClipsAndReturnsTheWrittenRectangle) {
  struct Case {
    const char* name;
    SMALL_RECT region;
    COORD origin;
    SMALL_RECT written;
    const char* screen;
  };
  // Source: 3 × 2 cells "ABC" / "DEF"; buffer 5 × 3.
  const Case cases[] = {
      {"inside", {1, 0, 3, 1}, {0, 0}, {1, 0, 3, 1}, " ABC | DEF |     |"},
      {"past the right edge", {3, 1, 5, 2}, {0, 0}, {3, 1, 4, 2}, "     |   AB|   DE|"},
      {"above and left of the buffer", {-1, -1, 1, 0}, {0, 0}, {0, 0, 1, 0}, "EF   |     |     |"},
      {"larger than the source", {0, 0, 4, 2}, {1, 1}, {0, 0, 1, 0}, "EF   |     |     |"},
      {"outside", {6, 0, 8, 1}, {0, 0}, {6, 0, 4, 1}, "     |     |     |"},
  };
  const CHAR_INFO source[] = {cell('A'), cell('B'), cell('C'), cell('D'), cell('E'), cell('F')};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedTestConsole console(5, 3);
    SMALL_RECT region = c.region;
    ASSERT_TRUE(WriteConsoleOutputA(console_output(), source, {3, 2}, c.origin, &region));
    EXPECT_EQ(region.Left, c.written.Left);
    EXPECT_EQ(region.Top, c.written.Top);
    EXPECT_EQ(region.Right, c.written.Right);
    EXPECT_EQ(region.Bottom, c.written.Bottom);
    EXPECT_EQ(screen(console), c.screen);
    EXPECT_EQ(console.cursor().X, 0);
    EXPECT_EQ(console.cursor().Y, 0);
  }
}

TEST(ConsoleModel, WriteOutputKeepsAttributesAndRejectsAnOriginOutsideTheSource) {
  ScopedTestConsole console(5, 3);
  const CHAR_INFO source[] = {cell('x', 0x1E)};
  SMALL_RECT region{2, 2, 2, 2};
  ASSERT_TRUE(WriteConsoleOutputA(console_output(), source, {1, 1}, {0, 0}, &region));
  EXPECT_EQ(console.character_at(2, 2), 'x');
  EXPECT_EQ(console.attribute_at(2, 2), 0x1E);
  EXPECT_FALSE(WriteConsoleOutputA(console_output(), source, {1, 1}, {1, 0}, &region));
}

TEST(ConsoleModel, FillsWrapRowsAndStopAtTheBufferEnd) {
  ScopedTestConsole console(4, 3);
  DWORD filled = 0;
  ASSERT_TRUE(FillConsoleOutputCharacterA(console_output(), '#', 6, {2, 0}, &filled));
  EXPECT_EQ(filled, 6u);
  EXPECT_EQ(screen(console), "  ##|####|    |");
  ASSERT_TRUE(FillConsoleOutputAttribute(console_output(), 0x4F, 100, {3, 1}, &filled));
  EXPECT_EQ(filled, 5u);
  EXPECT_EQ(console.attribute_at(2, 1), 0x07);
  EXPECT_EQ(console.attribute_at(3, 1), 0x4F);
  EXPECT_EQ(console.attribute_at(3, 2), 0x4F);
  EXPECT_EQ(console.character_at(3, 1), '#');  // attributes alone
  EXPECT_FALSE(FillConsoleOutputCharacterA(console_output(), '#', 1, {0, 3}, &filled));
  EXPECT_EQ(filled, 0u);
}

TEST(ConsoleModel, ScrollsOverlappingRegionsBothWays) {
  struct Case {
    const char* name;
    SMALL_RECT source;
    COORD destination;
    const char* screen;
  };
  const CHAR_INFO fill = cell('.');
  const Case cases[] = {
      {"whole buffer up two", {0, 2, 3, 4}, {0, 0}, "cccc|dddd|eeee|....|....|"},
      {"whole buffer down one", {0, 0, 3, 3}, {0, 1}, "....|aaaa|bbbb|cccc|dddd|"},
      {"band left by one", {1, 1, 3, 2}, {0, 1}, "aaaa|bbb.|ccc.|dddd|eeee|"},
      {"diagonal", {0, 0, 1, 1}, {1, 1}, "..aa|.aab|cbbc|dddd|eeee|"},
      {"source beyond the bottom", {0, 3, 3, 9}, {0, 2}, "aaaa|bbbb|dddd|eeee|....|"},
      {"destination partly outside", {0, 0, 3, 1}, {0, 4}, "....|....|cccc|dddd|aaaa|"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScopedTestConsole console(4, 5);
    letter_rows(console);
    ASSERT_TRUE(ScrollConsoleScreenBufferA(console_output(), &c.source, nullptr, c.destination, &fill));
    EXPECT_EQ(screen(console), c.screen);
  }
}

TEST(ConsoleModel, ScrollChangesOnlyCellsInsideTheClip) {
  ScopedTestConsole console(4, 5);
  letter_rows(console);
  const CHAR_INFO fill = cell('.', 0x1F);
  const SMALL_RECT source{0, 2, 3, 4};
  const SMALL_RECT clip{1, 0, 2, 3};
  ASSERT_TRUE(ScrollConsoleScreenBufferA(console_output(), &source, &clip, {0, 0}, &fill));
  EXPECT_EQ(screen(console), "acca|bddb|ceec|d..d|eeee|");
  EXPECT_EQ(console.attribute_at(1, 3), 0x1F);
  EXPECT_EQ(console.attribute_at(1, 4), 0x07);
}

TEST(ConsoleModel, ScrollFailsWhenTheSourceMissesTheBuffer) {
  ScopedTestConsole console(4, 3);
  const CHAR_INFO fill = cell('.');
  const SMALL_RECT source{0, 5, 3, 7};
  EXPECT_FALSE(ScrollConsoleScreenBufferA(console_output(), &source, nullptr, {0, 0}, &fill));
}

TEST(ConsoleModel, RefusesCursorAndWindowOutsideTheBuffer) {
  ScopedTestConsole console(10, 4, 8);
  EXPECT_TRUE(SetConsoleCursorPosition(console_output(), {9, 7}));
  EXPECT_FALSE(SetConsoleCursorPosition(console_output(), {10, 0}));
  EXPECT_FALSE(SetConsoleCursorPosition(console_output(), {0, -1}));
  EXPECT_EQ(console.cursor().X, 9);
  EXPECT_EQ(console.cursor().Y, 7);

  const SMALL_RECT lower{0, 4, 9, 7};
  EXPECT_TRUE(SetConsoleWindowInfo(console_output(), TRUE, &lower));
  EXPECT_EQ(console.model().window().Top, 4);
  const SMALL_RECT beyond{0, 5, 9, 8};
  EXPECT_FALSE(SetConsoleWindowInfo(console_output(), TRUE, &beyond));
  const SMALL_RECT up_two{0, -2, 0, -2};
  EXPECT_TRUE(SetConsoleWindowInfo(console_output(), FALSE, &up_two));
  EXPECT_EQ(console.model().window().Top, 2);
  EXPECT_EQ(console.model().window().Bottom, 5);
}

TEST(ConsoleModel, CursorSizeMustBeOneToHundred) {
  ScopedTestConsole console(10, 4);
  for (DWORD size : {0u, 101u}) {
    const CONSOLE_CURSOR_INFO bad{size, FALSE};
    EXPECT_FALSE(SetConsoleCursorInfo(console_output(), &bad)) << size;
  }
  EXPECT_TRUE(console.cursor_visible());
  const CONSOLE_CURSOR_INFO hidden{100, FALSE};
  EXPECT_TRUE(SetConsoleCursorInfo(console_output(), &hidden));
  EXPECT_FALSE(console.cursor_visible());
}

TEST(ConsoleModel, PeekKeepsAndReadRemoves) {
  ScopedTestConsole console(10, 4);
  console.push_key(0x41, 0x1E, 'a');
  INPUT_RECORD records[4]{};
  DWORD count = 0;
  ASSERT_TRUE(PeekConsoleInputA(input(), records, 1, &count));
  EXPECT_EQ(count, 1u);
  ASSERT_TRUE(PeekConsoleInputA(input(), records, 4, &count));
  EXPECT_EQ(count, 2u);
  EXPECT_TRUE(records[0].Event.KeyEvent.bKeyDown);
  EXPECT_FALSE(records[1].Event.KeyEvent.bKeyDown);
  EXPECT_EQ(records[1].Event.KeyEvent.uChar.AsciiChar, 'a');
  ASSERT_TRUE(ReadConsoleInputA(input(), records, 1, &count));
  EXPECT_EQ(count, 1u);
  EXPECT_TRUE(records[0].Event.KeyEvent.bKeyDown);
  ASSERT_TRUE(ReadConsoleInputA(input(), records, 4, &count));
  EXPECT_EQ(count, 1u);
  EXPECT_FALSE(records[0].Event.KeyEvent.bKeyDown);
  ASSERT_TRUE(PeekConsoleInputA(input(), records, 4, &count));
  EXPECT_EQ(count, 0u);
  // Nothing more can arrive: a read that would wait fails.
  EXPECT_FALSE(ReadConsoleInputA(input(), records, 4, &count));
}

TEST(ConsoleModel, EveryConsoleOperationFailsOnFileHandles) {
  ScopedTestConsole console(10, 4);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  console.redirect_output(fds[1]);
  console.redirect_input(fds[0]);
  const HANDLE out = console_output();
  const HANDLE in = input();
  EXPECT_EQ(handle_fd(out), fds[1]);
  DWORD mode = 0;
  DWORD count = 0;
  CONSOLE_SCREEN_BUFFER_INFO info{};
  CONSOLE_CURSOR_INFO cursor{25, TRUE};
  SMALL_RECT rect{0, 0, 0, 0};
  const CHAR_INFO one = cell('x');
  INPUT_RECORD record{};
  EXPECT_FALSE(GetConsoleMode(out, &mode));
  EXPECT_FALSE(GetConsoleMode(in, &mode));
  EXPECT_FALSE(SetConsoleMode(in, ENABLE_PROCESSED_INPUT));
  EXPECT_FALSE(SetConsoleTextAttribute(out, 0x1E));
  EXPECT_FALSE(GetConsoleScreenBufferInfo(out, &info));
  EXPECT_FALSE(WriteConsoleOutputA(out, &one, {1, 1}, {0, 0}, &rect));
  EXPECT_FALSE(ScrollConsoleScreenBufferA(out, &rect, nullptr, {0, 0}, &one));
  EXPECT_FALSE(FillConsoleOutputAttribute(out, 0x1E, 1, {0, 0}, &count));
  EXPECT_FALSE(FillConsoleOutputCharacterA(out, 'x', 1, {0, 0}, &count));
  EXPECT_FALSE(SetConsoleCursorPosition(out, {0, 0}));
  EXPECT_FALSE(SetConsoleWindowInfo(out, TRUE, &rect));
  EXPECT_FALSE(GetConsoleCursorInfo(out, &cursor));
  EXPECT_FALSE(SetConsoleCursorInfo(out, &cursor));
  EXPECT_FALSE(PeekConsoleInputA(in, &record, 1, &count));
  EXPECT_FALSE(ReadConsoleInputA(in, &record, 1, &count));
  EXPECT_EQ(console.character_at(0, 0), ' ');
  // Console handles still fail on the output side of input and vice versa.
  console.redirect_output(-1);
  EXPECT_FALSE(PeekConsoleInputA(GetStdHandle(STD_OUTPUT_HANDLE), &record, 1, &count));
  close(fds[0]);
  close(fds[1]);
}

TEST(ConsoleModel, WriteFileWritesToTheDescriptorAndFailsOnAClosedPipe) {
  ScopedTestConsole console(10, 4);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  console.redirect_output(fds[1]);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(console_output(), "A\tB\r\n", 5, &written, nullptr));
  EXPECT_EQ(written, 5u);
  char bytes[8]{};
  ASSERT_EQ(read(fds[0], bytes, sizeof bytes), 5);
  EXPECT_EQ(std::string(bytes), "A\tB\r\n");
  close(fds[0]);
  // The host ignores SIGPIPE: the write fails instead of ending the process.
  EXPECT_FALSE(WriteFile(console_output(), "x", 1, &written, nullptr));
  EXPECT_EQ(written, 0u);
  close(fds[1]);
  console.redirect_output(-1);
  EXPECT_FALSE(WriteFile(console_output(), "x", 1, &written, nullptr));
}

BOOL declining_handler(DWORD) { return FALSE; }
std::vector<int> handler_calls;
BOOL first_handler(DWORD) { return handler_calls.push_back(1), TRUE; }
BOOL second_handler(DWORD) { return handler_calls.push_back(2), FALSE; }

TEST(ConsoleModel, ControlHandlersRunLastRegisteredFirstUntilOneAccepts) {
  ScopedTestConsole console(10, 4);
  handler_calls.clear();
  ASSERT_TRUE(SetConsoleCtrlHandler(first_handler, TRUE));
  ASSERT_TRUE(SetConsoleCtrlHandler(second_handler, TRUE));
  EXPECT_TRUE(console.send_control_event(CTRL_CLOSE_EVENT));
  EXPECT_EQ(handler_calls, (std::vector<int>{2, 1}));
  EXPECT_TRUE(SetConsoleCtrlHandler(first_handler, FALSE));
  EXPECT_FALSE(SetConsoleCtrlHandler(first_handler, FALSE));
  EXPECT_FALSE(SetConsoleCtrlHandler(declining_handler, FALSE));
  handler_calls.clear();
  EXPECT_FALSE(console.send_control_event(CTRL_CLOSE_EVENT));
  EXPECT_EQ(handler_calls, (std::vector<int>{2}));
}

TEST(TestConsole, SleepAndBeepUseTheFakeClock) {
  ScopedTestConsole console(10, 4);
  std::vector<DWORD> seen;
  console.on_sleep([&](DWORD ms) { seen.push_back(ms); });
  Sleep(50);
  Sleep(20);
  ASSERT_TRUE(Beep(1000, 250));
  EXPECT_EQ(console.sleeps(), (std::vector<DWORD>{50, 20}));
  EXPECT_EQ(seen, console.sleeps());
  EXPECT_EQ(console.now_ms(), 320u);
  ASSERT_EQ(console.beeps().size(), 1u);
  EXPECT_EQ(console.beeps()[0].frequency, 1000u);
  EXPECT_EQ(console.beeps()[0].duration_ms, 250u);
}

TEST(TestConsole, RestoresThePreviousHost) {
  ScopedTestConsole outer(10, 4);
  {
    ScopedTestConsole inner(20, 5);
    EXPECT_EQ(&console_host().model(), &inner.model());
  }
  EXPECT_EQ(&console_host().model(), &outer.model());
}

}  // namespace
}  // namespace lumetra
