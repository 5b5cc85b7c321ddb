// Keyboard events and key waits: the pump from the console input queue into
// the key buffer, the timed waits, and the close handler.
#include "console/key_wait.h"

#include <cstdlib>

#include "console/console_output.h"
#include "console/key_translation.h"

namespace lumetra {
namespace {

constexpr DWORD wait_step_ms = 50;

// Main-thread state of the pump.
struct PumpState {
  std::uint32_t alt_code = 0;  // Alt + keypad digits composed so far
  bool handler_installed = false;
};

PumpState pump_state;

bool alt_held_alone(DWORD state) noexcept {
  return (state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0 &&
         (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED | SHIFT_PRESSED)) == 0;
}

bool is_keypad_digit(WORD vk) noexcept { return vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9; }

// Adds the composed character (its number modulo 256) once Alt is let go.
void deliver_alt_code() noexcept {
  if (pump_state.alt_code == 0) return;
  put_key(static_cast<KeyCode>(pump_state.alt_code & 0xFF));
  pump_state.alt_code = 0;
}

void handle_key_event(const KEY_EVENT_RECORD& event) noexcept {
  const bool alt_alone = alt_held_alone(event.dwControlKeyState);
  if (!event.bKeyDown) {
    if (!alt_alone) deliver_alt_code();
    return;
  }
  if (event.wRepeatCount == 0) return;
  const KeyCode key = translate_key_event(static_cast<std::uint8_t>(event.uChar.AsciiChar), event.wVirtualScanCode,
                                          event.wVirtualKeyCode, event.dwControlKeyState);
  if (alt_alone && is_keypad_digit(event.wVirtualKeyCode)) {
    // Unsigned, so that a long run of digits wraps instead of overflowing;
    // the low byte stays right because 2^32 is a multiple of 256.
    pump_state.alt_code = pump_state.alt_code * 10 + (event.wVirtualKeyCode - VK_NUMPAD0);
    if (key != no_key) put_key(key);
  } else if (key != no_key) {
    pump_state.alt_code = 0;
    put_key(key);
  } else if (!alt_alone) {
    deliver_alt_code();
  }
}

void install_close_handler() noexcept {
  pump_state.handler_installed = true;
  (void)std::atexit(remove_close_handler);  // without it the handler merely stays
  (void)SetConsoleCtrlHandler(console_close_handler, TRUE);
}

void wait_unlimited() noexcept {
  while (!take_key_arrived()) {
    if (handle_is_redirected(true)) return;  // no key can ever arrive
    Sleep(wait_step_ms);
  }
}

void wait_in_steps(std::int32_t milliseconds) noexcept {
  do {
    if (take_key_arrived()) return;
    Sleep(wait_step_ms);
    milliseconds -= static_cast<std::int32_t>(wait_step_ms);
  } while (milliseconds > static_cast<std::int32_t>(wait_step_ms));
  Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace

// Each record adds at most one key, so none is taken while the buffer is
// full: the rest waits in the console's input queue instead of pushing the
// oldest keys out, and a paste of any length arrives whole.
void pump_console_events() noexcept {
  if (!pump_state.handler_installed) install_close_handler();
  const HANDLE input = console_handle(true);
  INPUT_RECORD record{};
  DWORD count = 0;
  while (!key_buffer_full() && PeekConsoleInputA(input, &record, 1, &count) && count == 1) {
    if (!ReadConsoleInputA(input, &record, 1, &count) || count != 1) return;
    if (record.EventType == KEY_EVENT) handle_key_event(record.Event.KeyEvent);
  }
}

void wait_for_key(std::int32_t milliseconds) noexcept {
  if (milliseconds == -1) {
    wait_unlimited();
  } else if (milliseconds >= 100) {
    wait_in_steps(milliseconds);
  } else if (milliseconds >= 0) {
    Sleep(static_cast<DWORD>(milliseconds));
  }
}

BOOL console_close_handler(DWORD control_type) noexcept {
  if (control_type != CTRL_CLOSE_EVENT && control_type != CTRL_LOGOFF_EVENT && control_type != CTRL_SHUTDOWN_EVENT) {
    return FALSE;
  }
  put_key(close_request_key);
  return TRUE;
}

void remove_close_handler() noexcept {
  if (pump_state.handler_installed) (void)SetConsoleCtrlHandler(console_close_handler, FALSE);
}

}  // namespace lumetra
