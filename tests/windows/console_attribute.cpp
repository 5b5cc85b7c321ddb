// Runs a program in a console whose colours the user has set (as cmd's
// "color 1F" does) and reads back what the program left there.
// Usage: console_attribute ATTRIBUTE RESULT PROGRAM [ARGUMENT...]
//   Gives standard output's console the text attribute ATTRIBUTE
//   (hexadecimal), starts PROGRAM in this console and waits for it to end;
//   Ctrl+C and Ctrl+Break reach the program and leave this one running.
//   Then writes into the file RESULT, in UTF-8, a line "AA text" for every
//   row of the console's window that holds text (AA: the attribute of its
//   first character that is not blank), and "end AA" with the console's
//   attribute. Exits with the program's exit code; 100 when the console or
//   the program could not be had.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "child_process.h"

namespace {

BOOL WINAPI stay_on(DWORD) { return TRUE; }

// The text of a row of the console in UTF-8, without its trailing blanks,
// and the attribute of its first character that is not blank.
std::string row_text(HANDLE console, SHORT row, SHORT width, WORD& attribute) {
  std::wstring text(static_cast<std::size_t>(width), L' ');
  std::basic_string<WORD> attributes(static_cast<std::size_t>(width), 0);
  DWORD done = 0;
  ReadConsoleOutputCharacterW(console, text.data(), width, {0, row}, &done);
  ReadConsoleOutputAttribute(console, attributes.data(), width, {0, row}, &done);
  text.resize(text.find_last_not_of(L' ') + 1);
  const std::size_t first = text.find_first_not_of(L' ');
  attribute = first < text.size() ? attributes[first] : 0;
  const int length = static_cast<int>(text.size());
  std::string bytes(text.size() * 3, '\0');
  const int made = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, bytes.data(), length * 3, nullptr, nullptr);
  bytes.resize(static_cast<std::size_t>(made));
  return bytes;
}

void write_result(const char* name, HANDLE console) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(console, &info);
  FILE* result = std::fopen(name, "wb");
  if (result == nullptr) return;
  for (SHORT row = info.srWindow.Top; row <= info.srWindow.Bottom; ++row) {
    WORD attribute = 0;
    const std::string text = row_text(console, row, info.dwSize.X, attribute);
    if (!text.empty()) std::fprintf(result, "%02X %s\n", attribute, text.c_str());
  }
  std::fprintf(result, "end %02X\n", info.wAttributes);
  std::fclose(result);
}

}  // namespace

int main(int argc, char** argv) {
  const HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
  if (argc < 4 || !SetConsoleTextAttribute(console, static_cast<WORD>(std::strtoul(argv[1], nullptr, 16)))) {
    return 100;
  }
  SetConsoleCtrlHandler(stay_on, TRUE);
  PROCESS_INFORMATION program{};
  if (!start_program(quoted_command_line(argc - 3, argv + 3), program)) return 100;
  const int code = program_exit_code(program.hProcess);
  write_result(argv[2], console);
  return code;
}
