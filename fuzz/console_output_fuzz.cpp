// console_write over arbitrary bytes on model consoles of arbitrary size,
// from arbitrary cursor places: the cursor and the window stay inside the
// screen buffer, and no cell outside it is touched (the sanitizers watch).
#include <cstdint>
#include <string_view>

#include "console/console_output.h"
#include "fuzz_support.h"
#include "support/test_console.h"
#include "system/console_api.h"

namespace lumetra {
namespace {

void check_geometry(const ScopedTestConsole& console, ConsoleModel& model) {
  const COORD size = model.size();
  const COORD cursor = console.cursor();
  fuzz_check(cursor.X >= 0 && cursor.X < size.X && cursor.Y >= 0 && cursor.Y < size.Y,
             "the cursor stays inside the buffer");
  const SMALL_RECT window = model.window();
  fuzz_check(window.Left >= 0 && window.Top >= 0 && window.Left <= window.Right && window.Top <= window.Bottom &&
                 window.Right < size.X && window.Bottom < size.Y,
             "the window stays inside the buffer");
}

}  // namespace
}  // namespace lumetra

// Three bytes give the columns (1..96), window rows (1..32) and buffer rows
// (0..63). Then pieces: a control byte (bit 7 places the cursor at the
// buffer cell given by the next two bytes, bit 6 asks for the settling
// write flag, bits 0..5 the length) and that many bytes to write.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumetra;
  FuzzBytes input(data, size);
  const int columns = 1 + input.take_byte() % 96;
  const int rows = 1 + input.take_byte() % 32;
  const int buffer_rows = input.take_byte() % 64;
  ScopedTestConsole console(columns, rows, buffer_rows);
  reset_console_state();
  ConsoleModel& model = console.model();
  while (!input.empty()) {
    const std::uint8_t control = input.take_byte();
    if ((control & 0x80) != 0) {
      const auto x = static_cast<SHORT>(input.take_byte() % model.size().X);
      const auto y = static_cast<SHORT>(input.take_byte() % model.size().Y);
      fuzz_check(SetConsoleCursorPosition(GetStdHandle(STD_OUTPUT_HANDLE), {x, y}) != FALSE,
                 "the cursor can be placed on any buffer cell");
    }
    const std::string_view piece = input.take(control & 63);
    const std::int32_t flags = (control & 0x40) != 0 ? console_write_settle : 0;
    console_write(piece.data(), static_cast<std::int32_t>(piece.size()), flags);
    check_geometry(console, model);
  }
  return 0;
}
