// The console's code pages: code page 850 for input and output while the
// program runs, so that the bytes the console layer writes and the keys it
// reads are code page 850 on every Windows system (0x84 shows as "ä", a
// typed "ä" arrives as 0x84); the user's code pages come back at exit.
#include <atomic>
#include <cstdlib>

#include "platform/terminal_mode.h"
#include "platform/typed_names.h"
#include "platform/windows/windows_headers.h"

namespace lumetra {

namespace {

constexpr UINT console_code_page = 850;

struct SavedCodePages {
  UINT input = 0;
  UINT output = 0;
};
SavedCodePages saved;
std::atomic<bool> changed{false};

// Before main: no console output has happened yet. Without a console
// (GetConsoleCP gives 0) nothing changes.
bool start_console_code_pages() {
  saved = {GetConsoleCP(), GetConsoleOutputCP()};
  if (saved.input == 0 || saved.output == 0) return false;
  SetConsoleCP(console_code_page);
  SetConsoleOutputCP(console_code_page);
  changed.store(true);
  std::atexit(restore_terminal);  // registered first, so it runs after every other exit handler
  return true;
}

const bool code_pages_changed = start_console_code_pages();

}  // namespace

// A typed name's code page 850 bytes are what the console delivered.
std::string typed_name_bytes(std::string_view) { return {}; }

void restore_terminal() noexcept {
  if (!changed.exchange(false)) return;
  SetConsoleCP(saved.input);
  SetConsoleOutputCP(saved.output);
}

}  // namespace lumetra
