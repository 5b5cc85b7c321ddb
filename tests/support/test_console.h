// Test console: installs a console host with no terminal for unit tests of
// the console layer. Standard input and output are console handles on a
// model of the given size; tests type into its input queue and read its
// cells, cursor and beep log. Its clock is fake: Sleep returns at once and
// logs each duration. The previous host comes back when the scope ends.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "console_host/console_model.h"
#include "system/console_api.h"

namespace lumetra {

// The standard output handle: the test console's screen while one is in
// scope.
inline HANDLE console_output() { return GetStdHandle(STD_OUTPUT_HANDLE); }

class ConsoleHost;
class TestConsoleHost;

class ScopedTestConsole {
 public:
  // A window of columns × rows at the top of a buffer of buffer_rows rows
  // (0 or fewer than rows: as many as the window).
  ScopedTestConsole(int columns, int rows, int buffer_rows = 0);
  ~ScopedTestConsole();
  ScopedTestConsole(const ScopedTestConsole&) = delete;
  ScopedTestConsole& operator=(const ScopedTestConsole&) = delete;

  // ---- Input ----------------------------------------------------------------
  void push_record(const INPUT_RECORD& record);
  // One key press: a key-down record (repeat 1) and a key-up record with the
  // same key code, scan code, character and control-key state.
  void push_key(WORD virtual_key, WORD scan_code, unsigned char character, DWORD control_state = 0);
  // Calls the registered control handlers, last registered first, until one
  // returns TRUE; true when one did.
  bool send_control_event(DWORD event);

  // ---- What the console holds ---------------------------------------------
  [[nodiscard]] ConsoleModel& model() noexcept;
  // The bytes of one buffer row, all columns.
  [[nodiscard]] std::string row_text(int row) const;
  [[nodiscard]] unsigned char character_at(int column, int row) const;
  [[nodiscard]] WORD attribute_at(int column, int row) const;
  [[nodiscard]] COORD cursor() const;
  [[nodiscard]] bool cursor_visible() const;
  [[nodiscard]] const std::vector<BeepRecord>& beeps() const;

  // ---- Clock --------------------------------------------------------------------
  // Every Sleep's duration, in call order (Beep's tone is not a Sleep).
  [[nodiscard]] const std::vector<DWORD>& sleeps() const;
  // Milliseconds slept and beeped since the scope began.
  [[nodiscard]] std::uint64_t now_ms() const;
  // Runs after each Sleep with its duration, e.g. to type a key meanwhile.
  void on_sleep(std::function<void(DWORD)> hook);

  // ---- Handles ----------------------------------------------------------------
  // Standard output or input becomes a file handle on fd (not owned), as
  // when the process runs redirected.
  void redirect_output(int fd);
  void redirect_input(int fd);

  // ---- Terminal -----------------------------------------------------------------
  // From now on every console call ends by handing the terminal bytes that
  // show its changes (as the terminal host would write them) to sink. The
  // terminal starts blank, its cursor and colours unknown.
  void render_to(std::function<void(std::string_view)> sink, const char* codeset = "UTF-8");
  // After render_to: the terminal takes a new size, as when its window is
  // resized, and the renderer shows the part of the console that holds the
  // cursor.
  void resize_terminal(int columns, int rows);
  // The part of the buffer that the terminal shows.
  [[nodiscard]] SMALL_RECT terminal_view() const;

 private:
  std::unique_ptr<TestConsoleHost> host_;
  ConsoleHost* previous_;
};

}  // namespace lumetra
