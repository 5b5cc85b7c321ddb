// Terminal modes: the console's raw key input, and putting the terminal back
// as the program found it.
#pragma once

namespace lumetra {

#if !defined(_WIN32)

// Switches the terminal on fd to raw key input, from the mode it had at the
// first call (saved for restore_terminal): no line editing, echo, flow
// control or input translation, 8-bit bytes, one byte per read; output
// processing stays. The interrupt key (Ctrl+C) sends SIGINT exactly when
// interrupt_key is set; Ctrl+\ and Ctrl+Z are plain keys. Applied at once
// (TCSANOW) so that typed-ahead keys survive.
bool enter_console_input_mode(int fd, bool interrupt_key) noexcept;
// Puts the saved mode back on the raw input's terminal at once (TCSANOW,
// keeping type-ahead), so that it reads a line with its own echo and erase
// key.
void leave_console_input_mode() noexcept;

// Raw key input, with the interrupt key, on the terminal on fd while it
// lives, and the terminal's mode before back at its end: for a question
// asked of a terminal that is not the console's input. Nothing when fd is no
// terminal. One at a time.
class RawInputMoment {
 public:
  explicit RawInputMoment(int fd) noexcept;
  ~RawInputMoment();
  RawInputMoment(const RawInputMoment&) = delete;
  RawInputMoment& operator=(const RawInputMoment&) = delete;

 private:
  int fd_;
  bool switched_;
};

// The terminal on fd shows the console: restore_terminal resets its colours
// and shows its cursor.
void note_terminal_output(int fd) noexcept;

// The Linux console on fd sounds its bell at 1000 Hz for 250 ms, the tone of
// Beep; restore_terminal sets the kernel's defaults back.
void set_linux_console_bell(int fd) noexcept;

#endif

// Resets colours (CSI 0m), shows the cursor (CSI ?25h), gives a Linux
// console its default bell back and puts back the saved terminal mode once
// pending output is sent (TCSADRAIN). Nothing is cleared and the cursor
// stays. Idempotent and async-signal-safe, for exit and fault handlers alike.
// On Windows: puts back the console's code pages.
void restore_terminal() noexcept;

}  // namespace lumetra
