// Signals: the numbers of those the runtime handles, handlers that learn
// where a signal came from, the deadline, and the default actions.
#pragma once

#include <cstdint>
#include <span>

namespace lumetra {

// The system's numbers of the signals the runtime handles.
extern const int signal_abort;
extern const int signal_floating_point;
extern const int signal_illegal_instruction;
extern const int signal_segmentation;
extern const int signal_termination;
extern const int signal_interrupt;
extern const int signal_hang_up;
extern const int signal_quit;
extern const int signal_bus_error;
// The signal that arm_deadline sends.
extern const int signal_deadline;
// One more than the largest signal number.
inline constexpr int signal_count = 65;

// Every signal not named above whose default action ends the process
// (SIGUSR1, SIGALRM, SIGXCPU, SIGSYS, the real-time signals and so on), but
// SIGPIPE and SIGXFSZ, which are ignored from the start (console_signals.h).
[[nodiscard]] std::span<const int> other_ending_signals() noexcept;

// Where a signal came from, as far as ending the process goes.
enum class SignalSource : std::uint8_t {
  Inside,    // a fault, the terminal, or the process itself (abort, raise)
  Outside,   // sent by another process
  Deadline,  // the time set with arm_deadline is over
};

// What becomes of a signal that is ignored when the program starts (under
// nohup, in a script's background job).
enum class WhenIgnored : std::uint8_t {
  Handled,      // the handler takes it all the same
  StayIgnored,  // others' signals stay ignored; the process's own still arrive
};

using SignalHandler = void (*)(int signal_number, SignalSource source);
// Installs handler for a signal number from 1 to signal_count - 1 (others
// are left alone); it runs on an alternate stack (so that a stack overflow
// can be handled) with every signal but the deadline's blocked, so that only
// the deadline can cut it short. With WhenIgnored::StayIgnored and the
// signal ignored at start, the handler hears only what the process sends
// itself: the console's close, which must end the run whatever the
// disposition.
void install_signal_handler(int signal_number, SignalHandler handler,
                            WhenIgnored when_ignored = WhenIgnored::Handled) noexcept;
// The handler of signal_deadline hears SignalSource::Deadline once `seconds`
// are over; arming again starts the time anew. Async-signal-safe.
void arm_deadline(unsigned seconds) noexcept;
// True when the signal's action is to ignore it (as under nohup).
[[nodiscard]] bool signal_ignored(int signal_number) noexcept;
// Restores the default action of the signal and delivers it to the process.
void raise_default_signal(int signal_number) noexcept;
// Waits until a signal handler has run, or 10 ms at most (a signal that came
// just before the call is not waited for).
void wait_for_signal() noexcept;

}  // namespace lumetra
