// Signals and processor faults as numbered runtime errors.
#pragma once

#include <csignal>
#include <cstdint>

namespace lumetra {

// Fills the signal table and installs on_runtime_signal for the faults abort
// (14), floating-point error (11), illegal instruction (10), segmentation
// violation (12, also on stack overflow) and bus error (12); then for the
// requests termination (13), interrupt (9), hang-up as a termination request
// (13), quit as a quit request (15), and every other signal that would end
// the process as a termination request (13). A request that is ignored when
// the program starts (under nohup, in a script's background job) stays
// ignored; the faults and the deadline's alarm are always taken. (Writes to
// a closed pipe or beyond the file-size limit fail instead of ending the
// process: the system layer ignores their signals from the start.)
void install_signal_handlers() noexcept;

// Turns a signal into its runtime error (abort message, files closed, the
// error number as exit code); a signal without an error is handed back to
// the platform's default action.
void on_runtime_signal(int signal_number) noexcept;

// True while a signal handler is ending the process.
[[nodiscard]] bool handling_signal() noexcept;
// Ends the process from a signal handler with only async-signal-safe steps:
// the exit step (waiting output written, files written out and closed), the
// pending abort message, the terminal restored, then the end without
// further exit handlers.
[[noreturn]] void exit_from_signal_handler(std::int32_t code) noexcept;

// From now until the process ends with `code`, requests are held: the exit
// handlers write and close the files undisturbed, and the code and message
// stay the ones chosen.
void hold_requests_until_exit(std::int32_t code) noexcept;

// True when a held request waits to be carried out.
[[nodiscard]] inline bool request_waiting() noexcept {
  extern volatile std::sig_atomic_t waiting_signal;  // the signal to carry out when the holds end; 0 none
  return waiting_signal != 0;
}
// Before a normal end: when the console is being closed, its termination
// request is on its way; it is awaited and carried out, so that the run
// ends as a termination request and not normally.
void await_closing_request() noexcept;

// While a HoldRequests lives, a request (an interrupt, termination, quit or
// hang-up, and any signal another process sends) waits and is carried out
// when the hold ends: held around writing records and closing files, so
// that the target always ends with a whole record. Holding is bounded: two
// seconds after the request, or at a second request, the process ends at
// once with the request's code and message, even when a write never
// completes (a pipe whose reader stopped reading).
class HoldRequests {
 public:
  HoldRequests() noexcept;
  ~HoldRequests();
  HoldRequests(const HoldRequests&) = delete;
  HoldRequests& operator=(const HoldRequests&) = delete;
};

}  // namespace lumetra
