// Terminal modes: raw key input and the restore at exit.
#include "system/terminal_mode.h"

#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string_view>

#include "system/descriptors.h"

namespace lumetra {

namespace {

constexpr std::string_view reset_sequence = "\x1b[0m\x1b[?25h";
// CSI 10;n] sets the bell's pitch in Hz, CSI 11;n] its length in ms; without
// a parameter they take the kernel's defaults (750 Hz, 125 ms).
constexpr std::string_view linux_bell_sequence = "\x1b[10;1000]\x1b[11;250]";
constexpr std::string_view linux_bell_defaults = "\x1b[10]\x1b[11]";

termios saved_mode{};
bool mode_saved = false;
// Descriptors that restore_terminal still has to put back; -1 when none.
std::atomic<int> raw_input_fd{-1};
std::atomic<int> drawn_output_fd{-1};
std::atomic<int> bell_changed_fd{-1};
termios moment_mode{};  // the mode before a RawInputMoment

void make_raw_input_mode(termios& mode, bool interrupt_key) noexcept {
  mode.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP | INPCK | BRKINT);
  mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN | ISIG);
  if (interrupt_key) mode.c_lflag |= ISIG;
  mode.c_cflag = (mode.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARENB)) | CS8;
  mode.c_oflag |= OPOST;
  mode.c_cc[VMIN] = 1;
  mode.c_cc[VTIME] = 0;
  mode.c_cc[VINTR] = 0x03;
  mode.c_cc[VQUIT] = _POSIX_VDISABLE;
  mode.c_cc[VSUSP] = _POSIX_VDISABLE;
}

}  // namespace

bool enter_console_input_mode(int fd, bool interrupt_key) noexcept {
  if (!mode_saved) {
    if (tcgetattr(fd, &saved_mode) != 0) return false;
    mode_saved = true;
  }
  termios mode = saved_mode;
  make_raw_input_mode(mode, interrupt_key);
  raw_input_fd.store(fd);
  return tcsetattr(fd, TCSANOW, &mode) == 0;
}

void leave_console_input_mode() noexcept {
  const int fd = raw_input_fd.exchange(-1);
  if (fd >= 0) (void)tcsetattr(fd, TCSANOW, &saved_mode);
}

RawInputMoment::RawInputMoment(int fd) noexcept : fd_(fd), switched_(tcgetattr(fd, &moment_mode) == 0) {
  if (!switched_) return;
  termios raw = moment_mode;
  make_raw_input_mode(raw, true);
  (void)tcsetattr(fd, TCSANOW, &raw);
}

RawInputMoment::~RawInputMoment() {
  if (switched_) (void)tcsetattr(fd_, TCSANOW, &moment_mode);
}

void note_terminal_output(int fd) noexcept { drawn_output_fd.store(fd); }

void set_linux_console_bell(int fd) noexcept {
  if (write_all(fd, linux_bell_sequence)) bell_changed_fd.store(fd);
}

void restore_terminal() noexcept {
  const int saved_errno = errno;
  const int output = drawn_output_fd.exchange(-1);
  if (output >= 0) (void)write_all(output, reset_sequence);  // a terminal that is gone takes nothing more
  const int bell = bell_changed_fd.exchange(-1);
  if (bell >= 0) (void)write_all(bell, linux_bell_defaults);
  const int input = raw_input_fd.exchange(-1);
  if (input >= 0) (void)tcsetattr(input, TCSADRAIN, &saved_mode);
  errno = saved_errno;
}

}  // namespace lumetra
