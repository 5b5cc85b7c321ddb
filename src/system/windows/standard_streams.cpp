// The standard streams on Windows: their handles have no names to open them
// by, so the command line refuses "-" for them; a terminal is a console.
#include "system/standard_streams.h"

#include "system/windows/windows_headers.h"

namespace lumetra {
namespace {

bool is_console(::DWORD handle) noexcept {
  ::DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(handle), &mode) != 0;
}

}  // namespace

bool standard_streams_have_names() noexcept { return false; }

// Never opened: without names "-" is refused before anything is opened.
const char* standard_input_name() noexcept { return ""; }
const char* divert_standard_output() noexcept { return ""; }

bool data_on_terminal() noexcept { return false; }

// The console's input is not a file that the file layer opens by a name
// here.
bool names_standard_input_terminal(const char* /*path*/) noexcept { return false; }

bool standard_input_is_terminal() noexcept { return is_console(STD_INPUT_HANDLE); }

bool standard_error_is_terminal() noexcept { return is_console(STD_ERROR_HANDLE); }

int standard_error_columns() noexcept {
  if (!standard_error_is_terminal()) return 0;
  ::CONSOLE_SCREEN_BUFFER_INFO info{};
  if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info) == 0) return 80;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

}  // namespace lumetra
