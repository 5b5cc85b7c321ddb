// Terminal host: the process's own console host. Standard input is a console
// when it is a terminal; standard output when it is a terminal whose TERM is
// set and not "dumb", unless data goes to a terminal as well. The console
// model then has the terminal's size at first use and keeps it; the renderer
// shows it on standard output, in a view that follows the cursor when the
// terminal is smaller, and keys are decoded from the bytes the terminal
// sends. ReadConsoleA reads a line in the terminal's own mode, for a
// terminal that cannot be drawn on.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console_host/console_host.h"
#include "console_host/input_decoder.h"
#include "console_host/terminal_renderer.h"
#include "system/clock.h"
#include "system/console_signals.h"
#include "system/descriptors.h"
#include "system/standard_streams.h"
#include "system/terminal.h"
#include "system/terminal_mode.h"

namespace lumetra {

namespace {

constexpr int input_fd = 0;
constexpr int output_fd = 1;
constexpr int error_fd = 2;
constexpr std::uint64_t cursor_query_ms = 500;
constexpr COORD fallback_size{80, 25};

bool output_is_terminal() noexcept {
  const char* term = std::getenv("TERM");
  return descriptor_is_terminal(output_fd) && term != nullptr && *term != '\0' && std::string_view(term) != "dumb" &&
         !data_on_terminal();
}

COORD console_terminal_size() noexcept {
  int columns = 0;
  int rows = 0;
  for (const int fd : {output_fd, input_fd}) {
    if (terminal_size(fd, columns, rows)) return {static_cast<SHORT>(columns), static_cast<SHORT>(rows)};
  }
  return fallback_size;
}

ConsoleModel model_of_terminal_size() {
  const COORD size = console_terminal_size();
  return ConsoleModel(size.X, size.Y, size.Y);
}

// The bell when standard output is not the terminal: it must not land in
// redirected output.
void ring_terminal_bell() noexcept {
  const int fd = open_controlling_terminal(false);
  if (fd < 0) return;
  (void)write_all(fd, "\a");
  close_terminal(fd);
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

// ---- The terminal's signals -----------------------------------------------------

// What the control thread reports (console_signals.h) reaches the process's
// own host once it has started; the hooks that touch the terminal run under
// its lock, so that no console call is half written to the terminal
// meanwhile.
std::atomic<TtyHost*> signalled_host{nullptr};
std::atomic<bool> resize_requested{false};

void note_resize() noexcept { resize_requested.store(true); }

void restore_before_stop() {
  TtyHost* host = signalled_host.load();
  if (host == nullptr) {
    restore_terminal();
    return;
  }
  const std::lock_guard guard(host->lock());
  restore_terminal();
}

void continue_after_stop() {
  if (TtyHost* host = signalled_host.load()) {
    const std::lock_guard guard(host->lock());
    host->continue_terminal();
  }
}

void tell_close_handlers() {
  TtyHost* host = signalled_host.load();
  if (host == nullptr) return;
  std::vector<PHANDLER_ROUTINE> handlers;
  {
    const std::lock_guard guard(host->lock());
    handlers = host->model().control_handlers();
  }
  call_control_handlers(handlers, CTRL_CLOSE_EVENT);
}

constexpr ConsoleSignalHooks terminal_signal_hooks{
    .resized = note_resize,
    .stopping = restore_before_stop,
    .continued = continue_after_stop,
    .closing = tell_close_handlers,
};

// ---- Start ------------------------------------------------------------------------

TtyHost::TtyHost()
    : ConsoleHost(model_of_terminal_size()),
      input_console_(descriptor_is_terminal(input_fd)),
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
  signalled_host.store(this);
}

HANDLE TtyHost::std_handle(DWORD which) noexcept {
  if (which == STD_INPUT_HANDLE) return input_console_ ? console_input_handle : file_handle(input_fd);
  if (which == STD_OUTPUT_HANDLE) return output_console_ ? console_output_handle : file_handle(output_fd);
  return file_handle(error_fd);
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
  const int fd = input_console_ ? input_fd : open_controlling_terminal(true);
  if (fd < 0) return std::nullopt;
  std::optional<RawInputMoment> raw;
  if (!input_console_) raw.emplace(fd);
  std::optional<CursorReport> report;
  decoder_.expect_cursor_report(true);
  if (write_all(output_fd, "\x1b[6n")) {
    const std::uint64_t deadline = monotonic_ms() + cursor_query_ms;
    for (std::uint64_t now = monotonic_ms(); !report && now < deadline; now = monotonic_ms()) {
      if (!wait_until_readable(fd, static_cast<int>(deadline - now)) || !read_terminal(fd)) break;
      report = decoder_.take_cursor_report();
    }
  }
  decoder_.expect_cursor_report(false);
  raw.reset();
  if (fd != input_fd) close_terminal(fd);
  return report;
}

// A new terminal size changes only what the terminal shows: the console
// keeps the buffer it had at first use, as a Windows console keeps its buffer
// when the window is resized, so nothing written is clipped or lost.
void TtyHost::begin_call() {
  const bool resized = resize_requested.exchange(false);
  const bool continued = std::exchange(repaint_pending_, false);
  if ((resized || continued) && renderer_) renderer_->restart(console_terminal_size());
}

// A process continued in the background leaves the terminal to the shell;
// it takes it over when it is brought to the foreground (SIGCONT again).
void TtyHost::continue_terminal() {
  if (!terminal_in_foreground(input_console_ ? input_fd : output_fd)) return;
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
  const std::ptrdiff_t n = read_once(fd, bytes, sizeof bytes);
  if (n > 0) decoder_.feed({bytes, static_cast<std::size_t>(n)}, monotonic_ms());
  return n > 0 || (n < 0 && errno != EIO);
}

// The terminal is read only once everything read from it before has been
// taken from the queue, so what the program is not ready for waits in the
// terminal's own input queue instead of piling up here.
void TtyHost::pump_input() {
  if (!input_console_ || input_gone_) return;
  if (!raw_input_) enter_raw_input();
  if (model().input_count() == 0 && wait_until_readable(input_fd, 0) && !read_terminal(input_fd)) input_gone_ = true;
  decoder_.tick(monotonic_ms());
  for (const INPUT_RECORD& record : decoder_.records()) model().push_input(record);
  decoder_.records().clear();
}

// Sleeps in poll until the terminal sends something or a pending escape
// sequence times out.
bool TtyHost::wait_for_input() {
  if (!input_console_ || input_gone_) return false;
  const std::optional<std::uint64_t> timeout = decoder_.time_to_timeout(monotonic_ms());
  (void)wait_until_readable(input_fd, timeout ? static_cast<int>(*timeout) : -1);
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
  const std::ptrdiff_t count = read_once(input_fd, bytes, sizeof bytes);
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
// still write to the console. The signal hooks come first, so that a resize
// while the host starts is not lost.
ConsoleHost& process_console_host() {
  static TtyHost* const host = [] {
    set_console_signal_hooks(terminal_signal_hooks);
    return new TtyHost;
  }();
  return *host;
}

}  // namespace lumetra
