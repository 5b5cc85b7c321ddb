// A console window of the program's own, kept open until a key is pressed.
#include "system/console_window.h"

#include "system/console_signals.h"
#include "system/windows/windows_headers.h"
#include "system/windows/windows_internal.h"

namespace lumetra {

namespace {

// A shell or a script that shares the console keeps it open.
bool console_is_own() noexcept {
  ::DWORD processes[2] = {};
  return GetConsoleProcessList(processes, 2) == 1;
}

// Shift, Ctrl and Alt alone are no key, as in the key wait of the dialogue.
bool is_key_press(const ::INPUT_RECORD& record) noexcept {
  if (record.EventType != KEY_EVENT || record.Event.KeyEvent.bKeyDown == 0) return false;
  const WORD key = record.Event.KeyEvent.wVirtualKeyCode;
  return key != VK_SHIFT && key != VK_CONTROL && key != VK_MENU;
}

}  // namespace

void hold_own_console_window() noexcept {
  const ::HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  ::DWORD mode = 0;
  if (::GetConsoleMode(input, &mode) == 0 || !console_is_own() || console_closing() || console_asked_to_end()) return;
  // Ctrl+C is a key like any other here.
  ::SetConsoleMode(input, mode & ~ENABLE_PROCESSED_INPUT);
  FlushConsoleInputBuffer(input);
  ::INPUT_RECORD record{};
  ::DWORD count = 0;
  while (::ReadConsoleInputW(input, &record, 1, &count) != 0 && count == 1 && !is_key_press(record)) {
  }
  ::SetConsoleMode(input, mode);
}

}  // namespace lumetra
