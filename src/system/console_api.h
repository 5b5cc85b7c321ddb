// Console operations with the Windows console's names, types and meaning,
// served on Linux by the console emulated on the terminal
// (console_host/console_host.h), on Windows by the real console
// (system/windows/console_api.cpp).
#pragma once

#include <cstdint>

namespace lumetra {

// ---- Types ----------------------------------------------------------------

using HANDLE = void*;
using BOOL = int;
using CHAR = char;
using WCHAR = char16_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using SHORT = std::int16_t;
using UINT = unsigned int;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

struct COORD {
  SHORT X;
  SHORT Y;
};

struct SMALL_RECT {
  SHORT Left;
  SHORT Top;
  SHORT Right;
  SHORT Bottom;
};

struct CHAR_INFO {
  union {
    WCHAR UnicodeChar;
    CHAR AsciiChar;
  } Char;
  WORD Attributes;
};

struct CONSOLE_SCREEN_BUFFER_INFO {
  COORD dwSize;
  COORD dwCursorPosition;
  WORD wAttributes;
  SMALL_RECT srWindow;
  COORD dwMaximumWindowSize;
};

struct CONSOLE_CURSOR_INFO {
  DWORD dwSize;
  BOOL bVisible;
};

struct KEY_EVENT_RECORD {
  BOOL bKeyDown;
  WORD wRepeatCount;
  WORD wVirtualKeyCode;
  WORD wVirtualScanCode;
  union {
    WCHAR UnicodeChar;
    CHAR AsciiChar;
  } uChar;
  DWORD dwControlKeyState;
};

struct WINDOW_BUFFER_SIZE_RECORD {
  COORD dwSize;
};

struct INPUT_RECORD {
  WORD EventType;
  union {
    KEY_EVENT_RECORD KeyEvent;
    WINDOW_BUFFER_SIZE_RECORD WindowBufferSizeEvent;
  } Event;
};

using PHANDLER_ROUTINE = BOOL (*)(DWORD control_type);

// ---- Constants ------------------------------------------------------------

inline constexpr DWORD STD_INPUT_HANDLE = static_cast<DWORD>(-10);
inline constexpr DWORD STD_OUTPUT_HANDLE = static_cast<DWORD>(-11);
inline constexpr DWORD STD_ERROR_HANDLE = static_cast<DWORD>(-12);

inline constexpr DWORD ENABLE_PROCESSED_INPUT = 0x0001;
inline constexpr DWORD ENABLE_LINE_INPUT = 0x0002;
inline constexpr DWORD ENABLE_ECHO_INPUT = 0x0004;
inline constexpr DWORD ENABLE_WINDOW_INPUT = 0x0008;
inline constexpr DWORD ENABLE_PROCESSED_OUTPUT = 0x0001;
inline constexpr DWORD ENABLE_WRAP_AT_EOL_OUTPUT = 0x0002;

inline constexpr WORD KEY_EVENT = 0x0001;
inline constexpr WORD WINDOW_BUFFER_SIZE_EVENT = 0x0004;

inline constexpr DWORD RIGHT_ALT_PRESSED = 0x0001;
inline constexpr DWORD LEFT_ALT_PRESSED = 0x0002;
inline constexpr DWORD RIGHT_CTRL_PRESSED = 0x0004;
inline constexpr DWORD LEFT_CTRL_PRESSED = 0x0008;
inline constexpr DWORD SHIFT_PRESSED = 0x0010;
inline constexpr DWORD NUMLOCK_ON = 0x0020;
inline constexpr DWORD ENHANCED_KEY = 0x0100;

inline constexpr DWORD CTRL_C_EVENT = 0;
inline constexpr DWORD CTRL_BREAK_EVENT = 1;
inline constexpr DWORD CTRL_CLOSE_EVENT = 2;
inline constexpr DWORD CTRL_LOGOFF_EVENT = 5;
inline constexpr DWORD CTRL_SHUTDOWN_EVENT = 6;

inline constexpr UINT MAPVK_VK_TO_CHAR = 2;

inline constexpr DWORD FILE_TYPE_UNKNOWN = 0x0000;
inline constexpr DWORD FILE_TYPE_DISK = 0x0001;
inline constexpr DWORD FILE_TYPE_CHAR = 0x0002;
inline constexpr DWORD FILE_TYPE_PIPE = 0x0003;

inline constexpr WORD VK_BACK = 0x08;
inline constexpr WORD VK_TAB = 0x09;
inline constexpr WORD VK_RETURN = 0x0D;
inline constexpr WORD VK_SHIFT = 0x10;
inline constexpr WORD VK_CONTROL = 0x11;
inline constexpr WORD VK_MENU = 0x12;
inline constexpr WORD VK_ESCAPE = 0x1B;
inline constexpr WORD VK_NUMPAD0 = 0x60;
inline constexpr WORD VK_NUMPAD9 = 0x69;

// ---- Operations -----------------------------------------------------------
// Every operation on a handle that is not a console fails (returns FALSE or
// 0) exactly where the Windows console would, so callers take their
// redirected paths.

HANDLE GetStdHandle(DWORD std_handle);
BOOL GetConsoleMode(HANDLE handle, DWORD* mode);
BOOL SetConsoleMode(HANDLE handle, DWORD mode);
BOOL SetConsoleTextAttribute(HANDLE handle, WORD attributes);
BOOL GetConsoleScreenBufferInfo(HANDLE handle, CONSOLE_SCREEN_BUFFER_INFO* info);
BOOL WriteFile(HANDLE handle, const void* bytes, DWORD count, DWORD* written, void* overlapped);
// FILE_TYPE_CHAR for a console or a character device (a terminal among
// them), FILE_TYPE_DISK for a file, FILE_TYPE_PIPE for a pipe.
DWORD GetFileType(HANDLE handle);
BOOL WriteConsoleOutputA(HANDLE handle, const CHAR_INFO* cells, COORD size, COORD origin, SMALL_RECT* region);
BOOL ScrollConsoleScreenBufferA(HANDLE handle, const SMALL_RECT* source, const SMALL_RECT* clip, COORD destination,
                                const CHAR_INFO* fill);
BOOL FillConsoleOutputAttribute(HANDLE handle, WORD attribute, DWORD count, COORD start, DWORD* filled);
BOOL FillConsoleOutputCharacterA(HANDLE handle, CHAR character, DWORD count, COORD start, DWORD* filled);
BOOL SetConsoleCursorPosition(HANDLE handle, COORD position);
BOOL SetConsoleWindowInfo(HANDLE handle, BOOL absolute, const SMALL_RECT* window);
BOOL GetConsoleCursorInfo(HANDLE handle, CONSOLE_CURSOR_INFO* info);
BOOL SetConsoleCursorInfo(HANDLE handle, const CONSOLE_CURSOR_INFO* info);
BOOL Beep(DWORD frequency, DWORD duration_ms);
BOOL PeekConsoleInputA(HANDLE handle, INPUT_RECORD* records, DWORD length, DWORD* read);
BOOL ReadConsoleInputA(HANDLE handle, INPUT_RECORD* records, DWORD length, DWORD* read);
// Reads a line in the console's line input mode, whatever the input mode:
// the terminal's own line editing and echo, as the terminal had them before
// the console took it over. The line ends with CR LF unless the input ended;
// what does not fit waits for the next call. 0 characters: no more input.
BOOL ReadConsoleA(HANDLE handle, void* buffer, DWORD length, DWORD* read, void* input_control);
BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE routine, BOOL add);
UINT MapVirtualKeyA(UINT code, UINT map_type);
void Sleep(DWORD milliseconds);

}  // namespace lumetra
