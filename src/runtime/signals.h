// Signals and processor faults as numbered runtime errors.
#pragma once

#include <cstdint>

namespace lumetra {

// Fills the signal table and installs on_runtime_signal for abort (14),
// floating-point error (11), illegal instruction (10), segmentation
// violation (12, also on stack overflow), termination request (13) and
// interrupt (9), in that order; then hang-up as a termination request (13)
// unless it is ignored.
void install_signal_handlers() noexcept;

// Turns a signal into its runtime error (abort message, files closed, the
// error number as exit code); a signal without an error is handed back to
// the platform's default action.
void on_runtime_signal(int signal_number) noexcept;

// True while a signal handler is ending the process.
[[nodiscard]] bool handling_signal() noexcept;
// Ends the process from a signal handler with only async-signal-safe steps:
// the exit step (files written out and closed, the pending abort message
// written), the terminal restored, then the end without further exit
// handlers.
[[noreturn]] void exit_from_signal_handler(std::int32_t code) noexcept;

// From now until the process ends, an interrupt, termination request or
// hang-up is held back: the exit handlers close the files and write the
// pending message undisturbed, and the exit code stays the one chosen.
void hold_requests_until_exit() noexcept;

// True when a held request waits to be carried out.
[[nodiscard]] bool request_waiting() noexcept;
// Waits until an interrupt, termination request or hang-up has arrived, and
// carries out one that is held. Returns when the request arrived earlier and
// is being carried out already.
void await_request() noexcept;

// While a HoldRequests lives, an interrupt, termination request or hang-up
// waits and the abort is carried out when it ends: held around writing
// records and closing files, so that the target always ends with a whole
// record and no stream is closed while it is being written.
class HoldRequests {
 public:
  HoldRequests() noexcept;
  ~HoldRequests();
  HoldRequests(const HoldRequests&) = delete;
  HoldRequests& operator=(const HoldRequests&) = delete;
};

}  // namespace lumetra
