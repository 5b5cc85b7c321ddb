// Runs the console operations on the real standard handles, for tests that
// give it a pseudo-terminal. Reports on standard error, one line each:
// "console W H X Y" (size and cursor at start and after the key i), "key C"
// (hex character of each key pressed until q), "close" (a close event
// reached the handler).
// With the argument "unprocessed", Ctrl+C is a key instead of an interrupt.
#include <unistd.h>

#include <cstdio>
#include <string_view>

#include "system/console_api.h"

namespace {

using namespace lumetra;

void report(const char* line) { (void)!write(STDERR_FILENO, line, std::char_traits<char>::length(line)); }

// Reports size and cursor; false when standard output is no console.
bool report_console(HANDLE output, CONSOLE_SCREEN_BUFFER_INFO& info) {
  if (!GetConsoleScreenBufferInfo(output, &info)) return false;
  char line[64];
  std::snprintf(line, sizeof line, "console %d %d %d %d\n", info.dwSize.X, info.dwSize.Y, info.dwCursorPosition.X,
                info.dwCursorPosition.Y);
  report(line);
  return true;
}

BOOL close_handler(DWORD event) {
  if (event == CTRL_CLOSE_EVENT) report("close\n");
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  SetConsoleCtrlHandler(close_handler, TRUE);
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (argc > 1 && std::string_view(argv[1]) == "unprocessed") SetConsoleMode(input, 0);
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!report_console(output, info)) {
    report("no console\n");
    return 2;
  }
  CHAR_INFO cell{};
  cell.Char.AsciiChar = static_cast<CHAR>(0x84);
  cell.Attributes = 0x1E;
  SMALL_RECT region{info.dwCursorPosition.X, info.dwCursorPosition.Y, info.dwCursorPosition.X, info.dwCursorPosition.Y};
  WriteConsoleOutputA(output, &cell, {1, 1}, {0, 0}, &region);
  const CONSOLE_CURSOR_INFO hidden{25, FALSE};
  SetConsoleCursorInfo(output, &hidden);
  INPUT_RECORD record{};
  DWORD count = 0;
  while (ReadConsoleInputA(input, &record, 1, &count)) {
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    if (record.EventType != KEY_EVENT || !key.bKeyDown) continue;
    const auto character = static_cast<unsigned char>(key.uChar.AsciiChar);
    char line[16];
    std::snprintf(line, sizeof line, "key %02X\n", character);
    report(line);
    if (character == 'i') report_console(output, info);
    if (character == 'q') return 0;
  }
  report("read failed\n");
  return 3;
}
