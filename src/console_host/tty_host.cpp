// Terminal host: the process's own console host. Standard input is a console
// when it is a terminal; standard output when it is a terminal whose TERM is
// set and not "dumb", unless data goes to a terminal as well. The console
// model then has the terminal's size at first use and keeps it; the renderer
// shows it on standard output, in a view that follows the cursor when the
// terminal is smaller, and keys are decoded from the bytes the terminal
// sends. ReadConsoleA reads a line in the terminal's own mode, for a
// terminal that cannot be drawn on.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "console_host/console_host.h"
#include "console_host/input_decoder.h"
#include "console_host/terminal_renderer.h"
#include "system/clock.h"
#include "system/console_signals.h"
#include "system/descriptors.h"
#include "system/standard_streams.h"
#include "system/terminal_mode.h"

namespace lumetra {

namespace {

constexpr int input_fd = STDIN_FILENO;
constexpr int output_fd = STDOUT_FILENO;
constexpr std::uint64_t cursor_query_ms = 500;
constexpr COORD fallback_size{80, 25};

bool output_is_terminal() noexcept {
  const char* term = std::getenv("TERM");
  return isatty(output_fd) != 0 && term != nullptr && *term != '\0' && std::string_view(term) != "dumb" &&
         !data_on_terminal();
}

COORD terminal_size() noexcept {
  winsize size{};
  for (const int fd : {output_fd, input_fd}) {
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
      return {static_cast<SHORT>(size.ws_col), static_cast<SHORT>(size.ws_row)};
    }
  }
  return fallback_size;
}

ConsoleModel model_of_terminal_size() {
  const COORD size = terminal_size();
  return ConsoleModel(size.X, size.Y, size.Y);
}

// Waits until fd has input, at most timeout_ms (negative: without limit).
bool readable(int fd, int timeout_ms) noexcept {
  pollfd poll_fd{fd, POLLIN, 0};
  return poll(&poll_fd, 1, timeout_ms) > 0;
}

// The bell when standard output is not the terminal: it must not land in
// redirected output.
void ring_terminal_bell() noexcept {
  const int fd = open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  (void)write_all(fd, "\a");
  close(fd);
}

class TtyHost final : public ConsoleHost {
 public:
  TtyHost();

  HANDLE std_handle(DWORD which) noexcept override;
  void begin_call() override;
  void flush_output() override;
  void after_call() override;
  void pump_input() override;
  bool wait_for_input() override;
  DWORD read_line(std::span<char> destination) override;
  void input_mode_changed(DWORD mode) override;
  void continue_terminal() override;
  void sleep(DWORD milliseconds) override { sleep_ms(milliseconds); }
  void sound(DWORD frequency, DWORD milliseconds) override;

 private:
  void start_output();
  void claim_output() noexcept;
  void enter_raw_input() noexcept;
  std::optional<CursorReport> query_cursor();
  [[nodiscard]] bool read_terminal(int fd);
  [[nodiscard]] std::string read_terminal_line();

  const bool input_console_;
  const bool output_console_;
  const bool linux_console_;
  bool input_gone_ = false;
  bool raw_input_ = false;
  bool repaint_pending_ = false;
  std::string line_rest_;  // of ReadConsoleA's line
  InputDecoder decoder_;
  std::unique_ptr<TerminalRenderer> renderer_;
};

TtyHost::TtyHost()
    : ConsoleHost(model_of_terminal_size()),
      input_console_(isatty(input_fd) != 0),
      output_console_(output_is_terminal()),
      linux_console_(output_console_ && std::string_view(std::getenv("TERM")) == "linux") {
  // Raw input at once when the terminal shows the console (the start-up
  // query needs it), else from the first key read on: until then typed keys
  // are echoed by the terminal as usual.
  const std::optional<UpperHalf> upper_half =
      input_console_ ? TerminalCharset::for_locale().typed_upper_half() : std::nullopt;
  if (upper_half) decoder_.read_eight_bit(*upper_half);
  if (input_console_ && output_console_) enter_raw_input();
  if (output_console_) start_output();
  watch_console_close(this);
}

HANDLE TtyHost::std_handle(DWORD which) noexcept {
  if (which == STD_INPUT_HANDLE) return input_console_ ? console_input_handle : file_handle(input_fd);
  if (which == STD_OUTPUT_HANDLE) return output_console_ ? console_output_handle : file_handle(output_fd);
  return file_handle(STDERR_FILENO);
}

// ---- Output ---------------------------------------------------------------------

// The console continues below what the terminal already shows: the cursor
// starts where the terminal reports it, or at the top of a cleared screen.
void TtyHost::start_output() {
  renderer_ = std::make_unique<TerminalRenderer>(model(), TerminalCharset::for_locale());
  model().set_observer(renderer_.get());
  claim_output();
  if (const std::optional<CursorReport> report = query_cursor()) {
    const COORD size = model().size();
    const COORD position{static_cast<SHORT>(std::clamp(report->column - 1, 0, size.X - 1)),
                         static_cast<SHORT>(std::clamp(report->row - 1, 0, size.Y - 1))};
    (void)model().set_cursor_position(position);
    renderer_->set_terminal_cursor(position);
  } else {
    renderer_->repaint();
  }
  (void)write_all(output_fd, renderer_->take_output());
}

// Colours, cursor and a Linux console's bell are the console's until the
// terminal is restored.
void TtyHost::claim_output() noexcept {
  note_terminal_output(output_fd);
  if (linux_console_) set_linux_console_bell(output_fd);
}

// Asks the terminal where its cursor is. Keys typed before the answer stay
// in the decoder. With standard input redirected the terminal is asked
// through /dev/tty, in raw mode for the moment of the question.
std::optional<CursorReport> TtyHost::query_cursor() {
  const int fd = input_console_ ? input_fd : open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  termios previous{};
  const bool switched = !input_console_ && tcgetattr(fd, &previous) == 0;
  if (switched) {
    termios raw = previous;
    make_raw_input_mode(raw, true);
    (void)tcsetattr(fd, TCSANOW, &raw);
  }
  std::optional<CursorReport> report;
  decoder_.expect_cursor_report(true);
  if (write_all(output_fd, "\x1b[6n")) {
    const std::uint64_t deadline = monotonic_ms() + cursor_query_ms;
    for (std::uint64_t now = monotonic_ms(); !report && now < deadline; now = monotonic_ms()) {
      if (!readable(fd, static_cast<int>(deadline - now)) || !read_terminal(fd)) break;
      report = decoder_.take_cursor_report();
    }
  }
  decoder_.expect_cursor_report(false);
  if (switched) (void)tcsetattr(fd, TCSANOW, &previous);
  if (fd != input_fd) close(fd);
  return report;
}

// A new terminal size changes only what the terminal shows: the console
// keeps the buffer it had at first use, as a Windows console keeps its buffer
// when the window is resized, so nothing written is clipped or lost.
void TtyHost::begin_call() {
  const bool resized = take_resize_request();
  const bool continued = std::exchange(repaint_pending_, false);
  if ((resized || continued) && renderer_) renderer_->restart(terminal_size());
}

// A process continued in the background leaves the terminal to the shell;
// it takes it over when it is brought to the foreground (SIGCONT again).
void TtyHost::continue_terminal() {
  if (tcgetpgrp(input_console_ ? input_fd : output_fd) != getpgrp()) return;
  if (raw_input_) enter_raw_input();
  if (renderer_) {
    claim_output();
    repaint_pending_ = true;
  }
}

void TtyHost::flush_output() {
  if (renderer_) (void)write_all(output_fd, renderer_->take_output());
}

void TtyHost::after_call() {
  if (input_gone_) close_console();
}

// The bell and what came before it are sent before the tone's time passes,
// even inside an output batch.
void TtyHost::sound(DWORD /*frequency*/, DWORD milliseconds) {
  if (renderer_) {
    const std::lock_guard guard(lock());
    flush_output();
  } else {
    ring_terminal_bell();
  }
  sleep_ms(milliseconds);
}

// ---- Input ------------------------------------------------------------------------

// Feeds what the terminal has sent to the decoder; false when the terminal
// is gone (end of input or EIO after a hang-up).
bool TtyHost::read_terminal(int fd) {
  unsigned char bytes[4096];
  const ssize_t n = read_once(fd, bytes, sizeof bytes);
  if (n > 0) decoder_.feed({bytes, static_cast<std::size_t>(n)}, monotonic_ms());
  return n > 0 || (n < 0 && errno != EIO);
}

// The terminal is read only once everything read from it before has been
// taken from the queue, so what the program is not ready for waits in the
// terminal's own input queue instead of piling up here.
void TtyHost::pump_input() {
  if (!input_console_ || input_gone_) return;
  if (!raw_input_) enter_raw_input();
  if (model().input_count() == 0 && readable(input_fd, 0) && !read_terminal(input_fd)) input_gone_ = true;
  decoder_.tick(monotonic_ms());
  for (const INPUT_RECORD& record : decoder_.records()) model().push_input(record);
  decoder_.records().clear();
}

// Sleeps in poll until the terminal sends something or a pending escape
// sequence times out.
bool TtyHost::wait_for_input() {
  if (!input_console_ || input_gone_) return false;
  const std::optional<std::uint64_t> timeout = decoder_.time_to_timeout(monotonic_ms());
  (void)readable(input_fd, timeout ? static_cast<int>(*timeout) : -1);
  return true;
}

// The line comes with CR LF, as a Windows console gives it.
DWORD TtyHost::read_line(std::span<char> destination) {
  if (!input_console_) return 0;
  if (line_rest_.empty()) line_rest_ = read_terminal_line();
  const std::size_t count = std::min(destination.size(), line_rest_.size());
  std::copy_n(line_rest_.begin(), count, destination.begin());
  line_rest_.erase(0, count);
  return static_cast<DWORD>(count);
}

// One line in the terminal's own mode: echoed and edited by the terminal,
// delivered at Enter (or Ctrl+D). Raw input, if it was on, comes back after.
std::string TtyHost::read_terminal_line() {
  bool was_raw = false;
  {
    const std::lock_guard guard(lock());
    was_raw = std::exchange(raw_input_, false);
    leave_console_input_mode();
  }
  char bytes[4096];  // a terminal's longest line
  const ssize_t count = read_once(input_fd, bytes, sizeof bytes);
  std::string line(bytes, count > 0 ? static_cast<std::size_t>(count) : 0);
  if (line.ends_with('\n')) line.insert(line.size() - 1, 1, '\r');
  if (was_raw) {
    const std::lock_guard guard(lock());
    enter_raw_input();
  }
  return line;
}

void TtyHost::input_mode_changed(DWORD /*mode*/) {
  if (raw_input_) enter_raw_input();
}

// Raw key input, with the interrupt key exactly when the input mode has
// processed input (the model's mode is current under the lock).
void TtyHost::enter_raw_input() noexcept {
  raw_input_ = true;
  (void)enter_console_input_mode(input_fd, (model().input_mode() & ENABLE_PROCESSED_INPUT) != 0);
}

}  // namespace

// Never destroyed: exit handlers that run after static destructors may
// still write to the console.
ConsoleHost& process_console_host() {
  static TtyHost* const host = new TtyHost;
  return *host;
}

}  // namespace lumetra
