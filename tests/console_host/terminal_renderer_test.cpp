// Terminal renderer: the bytes it writes, fed into a terminal emulator
// (libvterm), must show exactly what the console model holds.
#include <gtest/gtest.h>
#include <iconv.h>
#include <vterm.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

#include "console_host/terminal_charset.h"
#include "support/test_console.h"
#include "system/console_api.h"

namespace lumetra {
namespace {

// ---- The oracle's own view of characters and colours ---------------------------

// What a console shows for the bytes 1 to 31 and 127, in reading order.
constexpr char16_t control_glyphs[] = u"☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼";

// The character a cell byte should show, from glibc's own code page 850.
std::array<std::uint32_t, 256> expected_characters() {
  std::array<std::uint32_t, 256> table{};
  const iconv_t converter = iconv_open("UTF-32LE", "CP850");
  for (int byte = 0; byte < 256; ++byte) {
    char in = static_cast<char>(byte);
    std::uint32_t out = 0;
    char* in_pointer = &in;
    char* out_pointer = reinterpret_cast<char*>(&out);
    std::size_t in_left = 1;
    std::size_t out_left = sizeof out;
    iconv(converter, &in_pointer, &in_left, &out_pointer, &out_left);
    table[byte] = out;
  }
  iconv_close(converter);
  table[0] = ' ';
  for (int byte = 1; byte < 32; ++byte) table[byte] = control_glyphs[byte - 1];
  table[0x7F] = 0x2302;
  return table;
}

// ANSI colour index (bit 0 red, bit 2 blue) to console colour (bit 0 blue).
int console_colour(const VTermColor& colour, int default_colour) {
  if (!VTERM_COLOR_IS_INDEXED(&colour)) return default_colour;
  const int index = colour.indexed.idx;
  return (index & 8) | ((index & 1) << 2) | (index & 2) | ((index & 4) >> 2);
}

// A libvterm terminal of the window's size.
class Emulator {
 public:
  Emulator(int columns, int rows) : vt_(vterm_new(rows, columns)), columns_(columns), rows_(rows) {
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
    callbacks_.settermprop = [](VTermProp prop, VTermValue* value, void* user) {
      if (prop == VTERM_PROP_CURSORVISIBLE) static_cast<Emulator*>(user)->cursor_visible_ = value->boolean != 0;
      return 1;
    };
    callbacks_.bell = [](void* user) { return ++static_cast<Emulator*>(user)->bells_, 1; };
    vterm_screen_set_callbacks(screen_, &callbacks_, this);
    vterm_screen_reset(screen_, 1);
  }
  ~Emulator() { vterm_free(vt_); }
  Emulator(const Emulator&) = delete;
  Emulator& operator=(const Emulator&) = delete;

  void resize(int columns, int rows) {
    vterm_set_size(vt_, rows, columns);
    columns_ = columns;
    rows_ = rows;
  }
  [[nodiscard]] int columns() const { return columns_; }
  [[nodiscard]] int rows() const { return rows_; }
  void feed(std::string_view bytes) {
    vterm_input_write(vt_, bytes.data(), bytes.size());
    fed_ += bytes;
  }
  [[nodiscard]] VTermScreenCell cell(int column, int row) const {
    VTermScreenCell cell{};
    vterm_screen_get_cell(screen_, {row, column}, &cell);
    return cell;
  }
  [[nodiscard]] VTermPos cursor() const {
    VTermPos position{};
    vterm_state_get_cursorpos(vterm_obtain_state(vt_), &position);
    return position;
  }
  [[nodiscard]] bool cursor_visible() const { return cursor_visible_; }
  [[nodiscard]] std::size_t bells() const { return bells_; }
  // Everything fed so far, then forgotten.
  std::string take_fed() { return std::exchange(fed_, {}); }

 private:
  VTerm* vt_;
  int columns_;
  int rows_;
  VTermScreen* screen_;
  VTermScreenCallbacks callbacks_{};
  bool cursor_visible_ = true;
  std::size_t bells_ = 0;
  std::string fed_;
};

// A test console whose renderer feeds an emulator of its window's size.
struct RenderedConsole {
  RenderedConsole(int columns, int rows, int buffer_rows = 0)
      : console(columns, rows, buffer_rows), emulator(columns, rows) {
    console.render_to([this](std::string_view bytes) { emulator.feed(bytes); });
  }
  // The terminal's window is resized.
  void resize_terminal(int columns, int rows) {
    emulator.resize(columns, rows);
    console.resize_terminal(columns, rows);
  }
  ScopedTestConsole console;
  Emulator emulator;
};

// Compares every cell of the terminal with the view of the model it shows
// (blank beyond the view), the cursor, its visibility and the bells.
void expect_same_screen(RenderedConsole& rendered) {
  static const std::array<std::uint32_t, 256> characters = expected_characters();
  ConsoleModel& model = rendered.console.model();
  const SMALL_RECT view = rendered.console.terminal_view();
  const SMALL_RECT window = model.window();
  ASSERT_TRUE(view.Left >= window.Left && view.Top >= window.Top && view.Right <= window.Right &&
              view.Bottom <= window.Bottom);
  ASSERT_EQ(view.Right - view.Left + 1, std::min(rendered.emulator.columns(), window.Right - window.Left + 1));
  ASSERT_EQ(view.Bottom - view.Top + 1, std::min(rendered.emulator.rows(), window.Bottom - window.Top + 1));
  const ConsoleCell blank{};
  for (int row = 0; row < rendered.emulator.rows(); ++row) {
    for (int column = 0; column < rendered.emulator.columns(); ++column) {
      const int x = view.Left + column;
      const int y = view.Top + row;
      const ConsoleCell& cell = x <= view.Right && y <= view.Bottom ? model.cell(x, y) : blank;
      const VTermScreenCell shown = rendered.emulator.cell(column, row);
      const std::uint32_t character = shown.chars[0] == 0 ? ' ' : shown.chars[0];
      const int attribute = console_colour(shown.fg, 7) | console_colour(shown.bg, 0) << 4;
      if (character != characters[cell.byte] || attribute != (cell.attribute & 0xFF)) {
        ADD_FAILURE() << "cell " << column << "," << row << ": byte " << int(cell.byte) << " attribute "
                      << cell.attribute << " shown as U+" << std::hex << character << " attribute " << attribute;
        return;
      }
    }
  }
  // The view holds the cursor; a cursor outside the window shows at the
  // nearest window cell.
  const VTermPos cursor = rendered.emulator.cursor();
  EXPECT_EQ(cursor.col, std::clamp(model.cursor().X, window.Left, window.Right) - view.Left);
  EXPECT_EQ(cursor.row, std::clamp(model.cursor().Y, window.Top, window.Bottom) - view.Top);
  EXPECT_EQ(rendered.emulator.cursor_visible(), model.cursor_info().bVisible != FALSE);
  EXPECT_EQ(rendered.emulator.bells(), model.beeps().size());
}

void put_cells(int x, int y, std::string_view bytes, WORD attribute) {
  std::vector<CHAR_INFO> cells(bytes.size());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    cells[i].Char.AsciiChar = bytes[i];
    cells[i].Attributes = attribute;
  }
  SMALL_RECT region{SHORT(x), SHORT(y), SHORT(x + bytes.size() - 1), SHORT(y)};
  ASSERT_TRUE(WriteConsoleOutputA(console_output(), cells.data(), {SHORT(bytes.size()), 1}, {0, 0}, &region));
}

// ---- Bytes ------------------------------------------------------------------------

TEST(TerminalRenderer, SendsAWholeSgrWithDefaultColoursLeftToTheTerminal) {
  struct Case {
    WORD attribute;
    const char* sgr;
  };
  const Case cases[] = {{0x07, "\x1b[0m"},       {0x0E, "\x1b[0;93m"},     {0x1E, "\x1b[0;93;44m"},
                        {0x70, "\x1b[0;30;47m"}, {0xC9, "\x1b[0;94;101m"}, {0x107, "\x1b[0m"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sgr + 1);
    RenderedConsole rendered(10, 3);
    put_cells(2, 1, "x", c.attribute);
    EXPECT_EQ(rendered.emulator.take_fed().substr(0, std::string("\x1b[2;3H").size() + std::string(c.sgr).size() + 1),
              std::string("\x1b[2;3H") + c.sgr + "x");
  }
}

TEST(TerminalRenderer, ShowsCellBytesInTheTerminalCodeset) {
  const TerminalCharset utf8("UTF-8");
  EXPECT_EQ(utf8.text(0x84), "ä");
  EXPECT_EQ(utf8.text(0xE1), "ß");
  EXPECT_EQ(utf8.text(0xC9), "╔");
  EXPECT_EQ(utf8.text(0x00), " ");
  EXPECT_EQ(utf8.text(0x07), "•");
  EXPECT_EQ(utf8.text(0x1B), "←");
  EXPECT_EQ(utf8.text(0x7F), "⌂");
  const TerminalCharset latin1("ISO-8859-1");
  EXPECT_EQ(latin1.text(0x84), "\xE4");
  EXPECT_EQ(latin1.text(0xC9), "?");
  EXPECT_EQ(latin1.text('A'), "A");
}

TEST(TerminalRenderer, ScrollsFullWidthRowsInsideMargins) {
  RenderedConsole rendered(6, 5);
  for (int y = 0; y < 5; ++y) put_cells(0, y, std::string(6, char('a' + y)), 0x07);
  rendered.emulator.take_fed();
  const SMALL_RECT source{0, 2, 5, 4};
  CHAR_INFO fill{};
  fill.Char.AsciiChar = ' ';
  fill.Attributes = 0x1F;
  ASSERT_TRUE(ScrollConsoleScreenBufferA(console_output(), &source, nullptr, {0, 0}, &fill));
  const std::string fed = rendered.emulator.take_fed();
  EXPECT_EQ(fed.substr(0, 14), "\x1b[1;5r\x1b[5;1H\n\n");
  EXPECT_NE(fed.find("\x1b[1;5r", 6), std::string::npos);
  expect_same_screen(rendered);
}

// ---- Against the emulator ----------------------------------------------------------

std::array<int, 4> edges(const SMALL_RECT& r) { return {r.Left, r.Top, r.Right, r.Bottom}; }

// The console keeps its size; a smaller terminal shows the rows up to the
// cursor's row and the columns around it, and all of it once it is large
// enough again.
TEST(TerminalRenderer, SmallerTerminalShowsTheViewThatHoldsTheCursor) {
  RenderedConsole rendered(20, 10);
  for (int y = 0; y < 10; ++y) {
    std::string row;
    for (int x = 0; x < 20; ++x) row += static_cast<char>('A' + (x + 3 * y) % 26);
    put_cells(0, y, row, static_cast<WORD>(0x07 + y));
  }
  ASSERT_TRUE(SetConsoleCursorPosition(console_output(), {15, 8}));
  rendered.resize_terminal(8, 4);
  EXPECT_EQ(edges(rendered.console.terminal_view()), (std::array<int, 4>{11, 5, 18, 8}));
  expect_same_screen(rendered);
  rendered.emulator.take_fed();
  ASSERT_TRUE(SetConsoleCursorPosition(console_output(), {15, 9}));  // one row down: a terminal scroll
  EXPECT_EQ(edges(rendered.console.terminal_view()), (std::array<int, 4>{11, 6, 18, 9}));
  const std::string fed = rendered.emulator.take_fed();
  EXPECT_NE(fed.find("\x1b[1;4r\x1b[4;1H\n"), std::string::npos) << fed;
  EXPECT_EQ(fed.find("\x1b[2J"), std::string::npos) << fed;
  expect_same_screen(rendered);
  ASSERT_TRUE(SetConsoleCursorPosition(console_output(), {2, 1}));
  EXPECT_EQ(edges(rendered.console.terminal_view()), (std::array<int, 4>{0, 1, 7, 4}));
  expect_same_screen(rendered);
  rendered.resize_terminal(30, 12);
  EXPECT_EQ(edges(rendered.console.terminal_view()), (std::array<int, 4>{0, 0, 19, 9}));
  expect_same_screen(rendered);
}

TEST(TerminalRenderer, EveryCellByteAndColourShowsAsTheModelHoldsIt) {
  RenderedConsole rendered(32, 17);
  for (int byte = 0; byte < 256; ++byte) {
    put_cells(byte % 32, byte / 32, std::string(1, char(byte)), static_cast<WORD>(byte));
  }
  for (int colour = 0; colour < 256; ++colour) put_cells(colour % 32, 8 + colour / 32, "Z", static_cast<WORD>(colour));
  expect_same_screen(rendered);
}

// Random operations on a taller buffer, shown on terminals of changing size,
// catch stale colours, a wrong idea of the terminal's cursor, leftover
// margins and a view that loses the cursor.
TEST(TerminalRenderer, RandomOperationSequencesKeepTheTerminalInStep) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    const auto pick = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const int columns = pick(3, 12);
    const int rows = pick(2, 8);
    RenderedConsole rendered(columns, rows, rows + pick(0, 3));
    const int height = rendered.console.model().size().Y;
    for (int step = 0; step < 60 && !testing::Test::HasFailure(); ++step) {
      const auto random_rect = [&] {
        const int left = pick(-2, columns), top = pick(-2, height);
        return SMALL_RECT{SHORT(left), SHORT(top), SHORT(left + pick(0, columns)), SHORT(top + pick(0, height))};
      };
      const auto attribute = static_cast<WORD>(pick(0, 255));
      CHAR_INFO fill{};
      fill.Char.AsciiChar = static_cast<char>(pick(0, 255));
      fill.Attributes = attribute;
      DWORD count = 0;
      switch (pick(0, 8)) {
        case 0:
        case 1: {
          std::string text;
          for (int i = pick(1, columns); i > 0; --i) text += static_cast<char>(pick(0, 255));
          put_cells(pick(0, columns - 1), pick(0, height - 1), text, attribute);
          break;
        }
        case 2: {
          const SMALL_RECT source = random_rect();
          const SMALL_RECT clip = random_rect();
          const bool full = pick(0, 1) == 1;
          const SMALL_RECT full_source{0, SHORT(pick(0, height - 1)), SHORT(columns - 1), SHORT(height - 1)};
          (void)ScrollConsoleScreenBufferA(console_output(), full ? &full_source : &source, pick(0, 2) == 0 ? &clip : nullptr,
                                           {SHORT(full ? 0 : pick(-2, columns)), SHORT(pick(-2, height))}, &fill);
          break;
        }
        case 3:
          (void)FillConsoleOutputCharacterA(console_output(), static_cast<CHAR>(pick(0, 255)), pick(0, columns * 3),
                                            {SHORT(pick(0, columns - 1)), SHORT(pick(0, height - 1))}, &count);
          break;
        case 4:
          (void)FillConsoleOutputAttribute(console_output(), attribute, pick(0, columns * 3),
                                           {SHORT(pick(0, columns - 1)), SHORT(pick(0, height - 1))}, &count);
          break;
        case 5: {
          const CONSOLE_CURSOR_INFO info{25, pick(0, 1)};
          (void)SetConsoleCursorInfo(console_output(), &info);
          (void)SetConsoleCursorPosition(console_output(), {SHORT(pick(0, columns - 1)), SHORT(pick(0, height - 1))});
          break;
        }
        case 6: {
          const int top = pick(0, height - rows);
          const SMALL_RECT window{0, SHORT(top), SHORT(columns - 1), SHORT(top + rows - 1)};
          (void)SetConsoleWindowInfo(console_output(), TRUE, &window);
          break;
        }
        case 7: rendered.resize_terminal(pick(1, columns + 2), pick(1, rows + 2)); break;
        default: (void)Beep(1000, 10);
      }
      expect_same_screen(rendered);
    }
  }
}

}  // namespace
}  // namespace lumetra
