// Test console: a console host with a fake clock and no terminal.
#include "support/test_console.h"

#include "console_host/console_host.h"
#include "console_host/terminal_renderer.h"

namespace lumetra {

class TestConsoleHost final : public ConsoleHost {
 public:
  TestConsoleHost(int columns, int rows, int buffer_rows) : ConsoleHost(ConsoleModel(columns, rows, buffer_rows)) {}

  HANDLE std_handle(DWORD which) noexcept override {
    if (which == STD_INPUT_HANDLE) return input_fd_ < 0 ? console_input_handle : file_handle(input_fd_);
    if (which == STD_OUTPUT_HANDLE) return output_fd_ < 0 ? console_output_handle : file_handle(output_fd_);
    return file_handle(2);
  }
  // Only the test types keys, and it is not running while a read waits.
  bool wait_for_input() override { return false; }
  void sleep(DWORD milliseconds) override {
    now_ms_ += milliseconds;
    sleeps_.push_back(milliseconds);
    if (sleep_hook_) sleep_hook_(milliseconds);
  }
  void sound(DWORD /*frequency*/, DWORD milliseconds) override { now_ms_ += milliseconds; }
  void flush_output() override {
    if (renderer_) sink_(renderer_->take_output());
  }

  int input_fd_ = -1;
  int output_fd_ = -1;
  std::uint64_t now_ms_ = 0;
  std::vector<DWORD> sleeps_;
  std::function<void(DWORD)> sleep_hook_;
  std::unique_ptr<TerminalRenderer> renderer_;
  std::function<void(std::string_view)> sink_;
};

ScopedTestConsole::ScopedTestConsole(int columns, int rows, int buffer_rows)
    : host_(std::make_unique<TestConsoleHost>(columns, rows, buffer_rows)),
      previous_(install_console_host(host_.get())) {}

ScopedTestConsole::~ScopedTestConsole() {
  install_console_host(previous_);
  host_->model().set_observer(nullptr);
}

// ---- Input ------------------------------------------------------------------

void ScopedTestConsole::push_record(const INPUT_RECORD& record) {
  const std::lock_guard guard(host_->lock());
  host_->model().push_input(record);
}

void ScopedTestConsole::push_key(WORD virtual_key, WORD scan_code, unsigned char character, DWORD control_state) {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  KEY_EVENT_RECORD& key = record.Event.KeyEvent;
  key.bKeyDown = TRUE;
  key.wRepeatCount = 1;
  key.wVirtualKeyCode = virtual_key;
  key.wVirtualScanCode = scan_code;
  key.uChar.AsciiChar = static_cast<CHAR>(character);
  key.dwControlKeyState = control_state;
  push_record(record);
  key.bKeyDown = FALSE;
  push_record(record);
}

bool ScopedTestConsole::send_control_event(DWORD event) {
  std::vector<PHANDLER_ROUTINE> handlers;
  {
    const std::lock_guard guard(host_->lock());
    handlers = host_->model().control_handlers();
  }
  return call_control_handlers(handlers, event);
}

// ---- What the console holds ---------------------------------------------------

ConsoleModel& ScopedTestConsole::model() noexcept { return host_->model(); }

std::string ScopedTestConsole::row_text(int row) const {
  std::string text;
  for (int x = 0; x < host_->model().size().X; ++x) text += static_cast<char>(character_at(x, row));
  return text;
}

unsigned char ScopedTestConsole::character_at(int column, int row) const {
  return host_->model().cell(column, row).byte;
}

WORD ScopedTestConsole::attribute_at(int column, int row) const { return host_->model().cell(column, row).attribute; }

COORD ScopedTestConsole::cursor() const { return host_->model().cursor(); }

bool ScopedTestConsole::cursor_visible() const { return host_->model().cursor_info().bVisible != FALSE; }

const std::vector<BeepRecord>& ScopedTestConsole::beeps() const { return host_->model().beeps(); }

// ---- Clock and handles ------------------------------------------------------------

const std::vector<DWORD>& ScopedTestConsole::sleeps() const { return host_->sleeps_; }

std::uint64_t ScopedTestConsole::now_ms() const { return host_->now_ms_; }

void ScopedTestConsole::on_sleep(std::function<void(DWORD)> hook) { host_->sleep_hook_ = std::move(hook); }

void ScopedTestConsole::redirect_output(int fd) { host_->output_fd_ = fd; }

void ScopedTestConsole::redirect_input(int fd) { host_->input_fd_ = fd; }

void ScopedTestConsole::render_to(std::function<void(std::string_view)> sink, const char* codeset) {
  host_->renderer_ = std::make_unique<TerminalRenderer>(host_->model(), TerminalCharset(codeset));
  host_->sink_ = std::move(sink);
  host_->model().set_observer(host_->renderer_.get());
}

void ScopedTestConsole::resize_terminal(int columns, int rows) {
  const std::lock_guard guard(host_->lock());
  host_->renderer_->restart({static_cast<SHORT>(columns), static_cast<SHORT>(rows)});
  host_->flush_output();
}

SMALL_RECT ScopedTestConsole::terminal_view() const { return host_->renderer_->view(); }

}  // namespace lumetra
