// The console operations of console_api.h on the real Windows console:
// each one is the kernel32 (or user32) function of the same name. The types
// of console_api.h have the layout of the Windows ones (checked below); the
// control handlers go through the program's own list (console_control.cpp),
// and attributes are shown in the user's colours (user_console.cpp).
#include "system/console_api.h"

#include <cstddef>
#include <new>
#include <vector>

#include "system/console_batch.h"
#include "system/windows/windows_headers.h"
#include "system/windows/windows_internal.h"

namespace lumetra {

namespace {

template <typename Ours, typename Theirs>
constexpr bool same_layout = sizeof(Ours) == sizeof(Theirs) && alignof(Ours) == alignof(Theirs);

static_assert(same_layout<COORD, ::COORD> && same_layout<SMALL_RECT, ::SMALL_RECT>);
static_assert(same_layout<CHAR_INFO, ::CHAR_INFO> &&
              offsetof(CHAR_INFO, Attributes) == offsetof(::CHAR_INFO, Attributes));
static_assert(same_layout<CONSOLE_SCREEN_BUFFER_INFO, ::CONSOLE_SCREEN_BUFFER_INFO>);
static_assert(offsetof(CONSOLE_SCREEN_BUFFER_INFO, srWindow) == offsetof(::CONSOLE_SCREEN_BUFFER_INFO, srWindow));
static_assert(same_layout<CONSOLE_CURSOR_INFO, ::CONSOLE_CURSOR_INFO>);
static_assert(same_layout<INPUT_RECORD, ::INPUT_RECORD> &&
              offsetof(INPUT_RECORD, Event) == offsetof(::INPUT_RECORD, Event));
static_assert(same_layout<KEY_EVENT_RECORD, ::KEY_EVENT_RECORD>);
static_assert(offsetof(KEY_EVENT_RECORD, uChar) == offsetof(::KEY_EVENT_RECORD, uChar) &&
              offsetof(KEY_EVENT_RECORD, dwControlKeyState) == offsetof(::KEY_EVENT_RECORD, dwControlKeyState));
static_assert(sizeof(DWORD) == sizeof(::DWORD) && sizeof(BOOL) == sizeof(::BOOL));

template <typename Theirs, typename Ours>
Theirs* theirs(Ours* ours) noexcept {
  return reinterpret_cast<Theirs*>(ours);
}

template <typename Theirs, typename Ours>
const Theirs* theirs(const Ours* ours) noexcept {
  return reinterpret_cast<const Theirs*>(ours);
}

::COORD theirs(COORD c) noexcept { return {c.X, c.Y}; }

}  // namespace

HANDLE GetStdHandle(DWORD std_handle) { return ::GetStdHandle(std_handle); }

BOOL GetConsoleMode(HANDLE handle, DWORD* mode) { return ::GetConsoleMode(handle, theirs<::DWORD>(mode)); }

BOOL SetConsoleMode(HANDLE handle, DWORD mode) { return ::SetConsoleMode(handle, mode); }

BOOL SetConsoleTextAttribute(HANDLE handle, WORD attributes) {
  return ::SetConsoleTextAttribute(handle, shown_attribute(attributes));
}

BOOL GetConsoleScreenBufferInfo(HANDLE handle, CONSOLE_SCREEN_BUFFER_INFO* info) {
  if (::GetConsoleScreenBufferInfo(handle, theirs<::CONSOLE_SCREEN_BUFFER_INFO>(info)) == 0) return FALSE;
  info->wAttributes = program_attribute(info->wAttributes);
  return TRUE;
}

BOOL WriteFile(HANDLE handle, const void* bytes, DWORD count, DWORD* written, void* /*overlapped*/) {
  ::DWORD done = 0;
  const BOOL result = ::WriteFile(handle, bytes, count, &done, nullptr);
  if (written != nullptr) *written = done;
  return result;
}

DWORD GetFileType(HANDLE handle) { return ::GetFileType(handle); }

BOOL WriteConsoleOutputA(HANDLE handle, const CHAR_INFO* cells, COORD size, COORD origin, SMALL_RECT* region) {
  try {
    std::vector<::CHAR_INFO> shown(theirs<::CHAR_INFO>(cells), theirs<::CHAR_INFO>(cells) + size.X * size.Y);
    for (::CHAR_INFO& cell : shown) cell.Attributes = shown_attribute(cell.Attributes);
    return ::WriteConsoleOutputA(handle, shown.data(), theirs(size), theirs(origin), theirs<::SMALL_RECT>(region));
  } catch (const std::bad_alloc&) {
    return FALSE;
  }
}

BOOL ScrollConsoleScreenBufferA(HANDLE handle, const SMALL_RECT* source, const SMALL_RECT* clip, COORD destination,
                                const CHAR_INFO* fill) {
  ::CHAR_INFO shown_fill = *theirs<::CHAR_INFO>(fill);
  shown_fill.Attributes = shown_attribute(shown_fill.Attributes);
  return ::ScrollConsoleScreenBufferA(handle, theirs<::SMALL_RECT>(source), theirs<::SMALL_RECT>(clip),
                                      theirs(destination), &shown_fill);
}

BOOL FillConsoleOutputAttribute(HANDLE handle, WORD attribute, DWORD count, COORD start, DWORD* filled) {
  return ::FillConsoleOutputAttribute(handle, shown_attribute(attribute), count, theirs(start),
                                      theirs<::DWORD>(filled));
}

BOOL FillConsoleOutputCharacterA(HANDLE handle, CHAR character, DWORD count, COORD start, DWORD* filled) {
  return ::FillConsoleOutputCharacterA(handle, character, count, theirs(start), theirs<::DWORD>(filled));
}

BOOL SetConsoleCursorPosition(HANDLE handle, COORD position) {
  return ::SetConsoleCursorPosition(handle, theirs(position));
}

BOOL SetConsoleWindowInfo(HANDLE handle, BOOL absolute, const SMALL_RECT* window) {
  return ::SetConsoleWindowInfo(handle, absolute, theirs<::SMALL_RECT>(window));
}

BOOL GetConsoleCursorInfo(HANDLE handle, CONSOLE_CURSOR_INFO* info) {
  return ::GetConsoleCursorInfo(handle, theirs<::CONSOLE_CURSOR_INFO>(info));
}

BOOL SetConsoleCursorInfo(HANDLE handle, const CONSOLE_CURSOR_INFO* info) {
  return ::SetConsoleCursorInfo(handle, theirs<::CONSOLE_CURSOR_INFO>(info));
}

BOOL Beep(DWORD frequency, DWORD duration_ms) { return ::Beep(frequency, duration_ms); }

BOOL PeekConsoleInputA(HANDLE handle, INPUT_RECORD* records, DWORD length, DWORD* read) {
  return ::PeekConsoleInputA(handle, theirs<::INPUT_RECORD>(records), length, theirs<::DWORD>(read));
}

BOOL ReadConsoleInputA(HANDLE handle, INPUT_RECORD* records, DWORD length, DWORD* read) {
  return ::ReadConsoleInputA(handle, theirs<::INPUT_RECORD>(records), length, theirs<::DWORD>(read));
}

BOOL ReadConsoleA(HANDLE handle, void* buffer, DWORD length, DWORD* read, void* /*input_control*/) {
  return ::ReadConsoleA(handle, buffer, length, theirs<::DWORD>(read), nullptr);
}

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE routine, BOOL add) {
  if (routine == nullptr) return FALSE;
  return (add != 0 ? add_console_control_routine(routine) : remove_console_control_routine(routine)) ? TRUE : FALSE;
}

UINT MapVirtualKeyA(UINT code, UINT map_type) { return ::MapVirtualKeyA(code, map_type); }

void Sleep(DWORD milliseconds) { ::Sleep(milliseconds); }

// The real console shows every call at once: a batch has nothing to hold back.
ConsoleOutputBatch::ConsoleOutputBatch() noexcept : host_(nullptr) {}

ConsoleOutputBatch::~ConsoleOutputBatch() = default;

}  // namespace lumetra
