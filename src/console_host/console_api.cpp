// Console operations: check the handle, run the model operation under the
// host's lock, let the host show the result.
#include "system/console_api.h"

#include <span>

#include "console_host/console_host.h"
#include "console_host/terminal_charset.h"
#include "system/descriptors.h"

namespace lumetra {

namespace {

bool is_console(ConsoleHost& host, HANDLE handle, DWORD side) noexcept {
  return handle == host.std_handle(side) &&
         handle == (side == STD_INPUT_HANDLE ? console_input_handle : console_output_handle);
}

// Plain output that lands on a terminal (one that cannot be drawn on, or the
// dialogue beside records shown there) shows the code page 850 bytes above
// 0x7F as the terminal's characters, as the renderer does; the other bytes,
// and all redirected output, go out as they are. Returns the count taken.
std::ptrdiff_t write_to_terminal(int fd, std::string_view bytes) noexcept {
  const TerminalCharset& charset = TerminalCharset::for_locale();
  char shown[1024];
  std::size_t used = 0;
  for (const char byte : bytes) {
    const auto code = static_cast<unsigned char>(byte);
    const std::string_view text = code < 0x80 ? std::string_view(&byte, 1) : charset.text(code);
    if (used + text.size() > sizeof shown) {
      if (!write_all(fd, {shown, used})) return -1;
      used = 0;
    }
    text.copy(shown + used, text.size());
    used += text.size();
  }
  return write_all(fd, {shown, used}) ? static_cast<std::ptrdiff_t>(bytes.size()) : -1;
}

// One console call: operation(host) under the lock, framed by the host.
template <typename Operation>
bool run_call(ConsoleHost& host, Operation operation) {
  bool done = false;
  {
    const std::lock_guard guard(host.lock());
    host.begin_call();
    done = operation(host);
    if (!host.batching()) host.flush_output();
  }
  host.after_call();
  return done;
}

// Runs operation(host) for a console handle of the given side; FALSE for
// any other handle.
template <typename Operation>
BOOL on_console(HANDLE handle, DWORD side, Operation operation) {
  ConsoleHost& host = console_host();
  if (!is_console(host, handle, side)) return FALSE;
  return run_call(host, operation) ? TRUE : FALSE;
}

template <typename Operation>
BOOL on_output(HANDLE handle, Operation operation) {
  return on_console(handle, STD_OUTPUT_HANDLE, [&](ConsoleHost& host) { return operation(host.model()); });
}

// Peek and read: pump first, then look at the queue.
BOOL take_input(HANDLE handle, INPUT_RECORD* records, DWORD length, DWORD* count, bool remove) {
  if (count != nullptr) *count = 0;
  if (records == nullptr || count == nullptr) return FALSE;
  const std::span<INPUT_RECORD> destination(records, length);
  return on_console(handle, STD_INPUT_HANDLE, [&](ConsoleHost& host) {
    host.pump_input();
    *count = remove ? host.model().read_input(destination) : host.model().peek_input(destination);
    return true;
  });
}

}  // namespace

HANDLE GetStdHandle(DWORD std_handle) {
  if (std_handle != STD_INPUT_HANDLE && std_handle != STD_OUTPUT_HANDLE && std_handle != STD_ERROR_HANDLE) {
    return INVALID_HANDLE_VALUE;
  }
  return console_host().std_handle(std_handle);
}

// ---- Modes ------------------------------------------------------------------

BOOL GetConsoleMode(HANDLE handle, DWORD* mode) {
  if (mode == nullptr) return FALSE;
  if (on_console(handle, STD_INPUT_HANDLE,
                 [&](ConsoleHost& host) { return (*mode = host.model().input_mode()), true; })) {
    return TRUE;
  }
  return on_output(handle, [&](ConsoleModel& model) { return (*mode = model.output_mode()), true; });
}

BOOL SetConsoleMode(HANDLE handle, DWORD mode) {
  const BOOL input = on_console(handle, STD_INPUT_HANDLE, [&](ConsoleHost& host) {
    host.model().set_input_mode(mode);
    host.input_mode_changed(mode);
    return true;
  });
  return input ? TRUE : on_output(handle, [&](ConsoleModel& model) { return model.set_output_mode(mode), true; });
}

// ---- Screen buffer ------------------------------------------------------------

BOOL SetConsoleTextAttribute(HANDLE handle, WORD attributes) {
  return on_output(handle, [&](ConsoleModel& model) { return model.set_attribute(attributes), true; });
}

BOOL GetConsoleScreenBufferInfo(HANDLE handle, CONSOLE_SCREEN_BUFFER_INFO* info) {
  if (info == nullptr) return FALSE;
  return on_output(handle, [&](ConsoleModel& model) { return model.get_info(*info), true; });
}

BOOL WriteConsoleOutputA(HANDLE handle, const CHAR_INFO* cells, COORD size, COORD origin, SMALL_RECT* region) {
  if (region == nullptr) return FALSE;
  return on_output(handle, [&](ConsoleModel& model) { return model.write_cells(cells, size, origin, *region); });
}

BOOL ScrollConsoleScreenBufferA(HANDLE handle, const SMALL_RECT* source, const SMALL_RECT* clip, COORD destination,
                                const CHAR_INFO* fill) {
  if (source == nullptr || fill == nullptr) return FALSE;
  return on_output(handle, [&](ConsoleModel& model) { return model.scroll(*source, clip, destination, *fill); });
}

BOOL FillConsoleOutputAttribute(HANDLE handle, WORD attribute, DWORD count, COORD start, DWORD* filled) {
  if (filled == nullptr) return FALSE;
  *filled = 0;
  return on_output(handle, [&](ConsoleModel& model) { return model.fill_attribute(attribute, count, start, *filled); });
}

BOOL FillConsoleOutputCharacterA(HANDLE handle, CHAR character, DWORD count, COORD start, DWORD* filled) {
  if (filled == nullptr) return FALSE;
  *filled = 0;
  return on_output(handle, [&](ConsoleModel& model) {
    return model.fill_character(static_cast<unsigned char>(character), count, start, *filled);
  });
}

BOOL SetConsoleCursorPosition(HANDLE handle, COORD position) {
  return on_output(handle, [&](ConsoleModel& model) { return model.set_cursor_position(position); });
}

BOOL SetConsoleWindowInfo(HANDLE handle, BOOL absolute, const SMALL_RECT* window) {
  if (window == nullptr) return FALSE;
  return on_output(handle, [&](ConsoleModel& model) { return model.set_window(absolute != FALSE, *window); });
}

BOOL GetConsoleCursorInfo(HANDLE handle, CONSOLE_CURSOR_INFO* info) {
  if (info == nullptr) return FALSE;
  return on_output(handle, [&](ConsoleModel& model) { return (*info = model.cursor_info()), true; });
}

BOOL SetConsoleCursorInfo(HANDLE handle, const CONSOLE_CURSOR_INFO* info) {
  if (info == nullptr) return FALSE;
  return on_output(handle, [&](ConsoleModel& model) { return model.set_cursor_info(*info); });
}

// ---- Files --------------------------------------------------------------------

// A file handle writes once (a short count is possible); a console handle
// fails, since console output goes through the cell operations.
BOOL WriteFile(HANDLE handle, const void* bytes, DWORD count, DWORD* written, void* /*overlapped*/) {
  if (written != nullptr) *written = 0;
  const int fd = handle_fd(handle);
  if (fd < 0 || (bytes == nullptr && count > 0)) return FALSE;
  const std::ptrdiff_t n = descriptor_is_terminal(fd) ? write_to_terminal(fd, {static_cast<const char*>(bytes), count})
                                                      : write_once(fd, bytes, count);
  if (n < 0) return FALSE;
  if (written != nullptr) *written = static_cast<DWORD>(n);
  return TRUE;
}

DWORD GetFileType(HANDLE handle) {
  ConsoleHost& host = console_host();
  if (is_console(host, handle, STD_INPUT_HANDLE) || is_console(host, handle, STD_OUTPUT_HANDLE)) return FILE_TYPE_CHAR;
  const int fd = handle_fd(handle);
  switch (fd < 0 ? FileKind::Unknown : descriptor_kind(fd)) {
    case FileKind::Regular: return FILE_TYPE_DISK;
    case FileKind::Character: return FILE_TYPE_CHAR;
    case FileKind::Pipe: return FILE_TYPE_PIPE;
    default: return FILE_TYPE_UNKNOWN;
  }
}

// ---- Input and control events ----------------------------------------------------

// Waits for the line without the host's lock: the control thread must be
// able to stop or close the console meanwhile.
BOOL ReadConsoleA(HANDLE handle, void* buffer, DWORD length, DWORD* read, void* /*input_control*/) {
  if (read != nullptr) *read = 0;
  ConsoleHost& host = console_host();
  if (buffer == nullptr || read == nullptr || !is_console(host, handle, STD_INPUT_HANDLE)) return FALSE;
  *read = host.read_line({static_cast<char*>(buffer), length});
  return TRUE;
}

BOOL PeekConsoleInputA(HANDLE handle, INPUT_RECORD* records, DWORD length, DWORD* read) {
  return take_input(handle, records, length, read, false);
}

// Waits until at least one record can be taken; fails when no input can
// ever arrive any more (the terminal is gone).
BOOL ReadConsoleInputA(HANDLE handle, INPUT_RECORD* records, DWORD length, DWORD* read) {
  while (take_input(handle, records, length, read, true)) {
    if (*read > 0 || length == 0) return TRUE;
    if (!console_host().wait_for_input()) return FALSE;
  }
  return FALSE;
}

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE routine, BOOL add) {
  ConsoleHost& host = console_host();
  const std::lock_guard guard(host.lock());
  const bool done = add ? host.model().add_control_handler(routine) : host.model().remove_control_handler(routine);
  return done ? TRUE : FALSE;
}

// ---- Time and tone ------------------------------------------------------------------

BOOL Beep(DWORD frequency, DWORD duration_ms) {
  ConsoleHost& host = console_host();
  (void)run_call(host, [&](ConsoleHost& h) { return h.model().beep(frequency, duration_ms), true; });
  host.sound(frequency, duration_ms);
  return TRUE;
}

void Sleep(DWORD milliseconds) { console_host().sleep(milliseconds); }

}  // namespace lumetra
