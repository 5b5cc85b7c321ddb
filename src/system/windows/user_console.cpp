// The console as the user set it up: its code pages and its text attribute.
// While the program runs, the input and output code pages are 850, so that
// the bytes the console layer writes and the keys it reads are code page 850
// on every Windows system (0x84 shows as "ä", a typed "ä" arrives as 0x84),
// and the attribute found at start stands for light grey on black, as the
// terminal's own colours do on Linux: a user who chose white on blue
// ("color 1F") keeps it, and the banner's yellow keeps their background.
// Both come back at exit.
#include <atomic>
#include <cstdlib>

#include "system/terminal_mode.h"
#include "system/windows/windows_headers.h"
#include "system/windows/windows_internal.h"

namespace lumetra {

namespace {

constexpr UINT console_code_page = 850;
constexpr WORD light_grey_on_black = 0x07;
constexpr WORD foreground_bits = 0x0F;
constexpr WORD background_bits = 0xF0;

struct UserConsole {
  UINT input_code_page = 0;
  UINT output_code_page = 0;
  WORD attribute = light_grey_on_black;  // the whole attribute, put back at exit
  bool has_attribute = false;            // standard output was a console's screen buffer
};
UserConsole user;
std::atomic<bool> changed{false};

// Before main: no console output has happened yet. Without a console
// (GetConsoleCP gives 0) nothing changes.
bool take_over_console() {
  user.input_code_page = GetConsoleCP();
  user.output_code_page = GetConsoleOutputCP();
  if (user.input_code_page == 0 || user.output_code_page == 0) return false;
  ::CONSOLE_SCREEN_BUFFER_INFO info{};
  user.has_attribute = ::GetConsoleScreenBufferInfo(::GetStdHandle(STD_OUTPUT_HANDLE), &info) != 0;
  if (user.has_attribute) user.attribute = info.wAttributes;
  SetConsoleCP(console_code_page);
  SetConsoleOutputCP(console_code_page);
  changed.store(true);
  std::atexit(restore_terminal);  // registered first, so it runs after every other exit handler
  return true;
}

const bool console_taken_over = take_over_console();

// Replaces the bits of an attribute that hold `from` with `to`.
WORD replaced(WORD attribute, WORD bits, WORD from, WORD to) noexcept {
  return (attribute & bits) == (from & bits) ? static_cast<WORD>((attribute & ~bits) | (to & bits)) : attribute;
}

}  // namespace

WORD shown_attribute(WORD attribute) noexcept {
  attribute = replaced(attribute, foreground_bits, light_grey_on_black, user.attribute);
  return replaced(attribute, background_bits, light_grey_on_black, user.attribute);
}

WORD program_attribute(WORD shown) noexcept {
  shown = replaced(shown, foreground_bits, user.attribute, light_grey_on_black);
  return replaced(shown, background_bits, user.attribute, light_grey_on_black);
}

void restore_terminal() noexcept {
  if (!changed.exchange(false)) return;
  SetConsoleCP(user.input_code_page);
  SetConsoleOutputCP(user.output_code_page);
  if (user.has_attribute) ::SetConsoleTextAttribute(::GetStdHandle(STD_OUTPUT_HANDLE), user.attribute);
}

}  // namespace lumetra
