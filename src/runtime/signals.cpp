// Signals and processor faults as numbered runtime errors.
//
// A fault of the process (and a signal the process raises itself) is carried
// out where it happens. Every other signal is a request: it waits while
// requests are held, for two seconds at most; a second request, or the end
// of the two seconds, ends the process at once.
#include "runtime/signals.h"

#include <array>
#include <csignal>

#include "runtime/lifecycle.h"
#include "runtime/runtime_error.h"
#include "system/console_signals.h"
#include "system/process.h"
#include "system/signals.h"
#include "system/terminal_mode.h"

namespace lumetra {

volatile std::sig_atomic_t waiting_signal = 0;

namespace {

constexpr unsigned request_deadline_seconds = 2;

// Runtime error number of each signal number; 0 = none.
std::array<std::int32_t, signal_count> signal_errors{};

// Holds on requests (records being written, the exit under way), the first
// request and the one that waits for the holds to end.
volatile std::sig_atomic_t request_holds = 0;
volatile std::sig_atomic_t first_request = 0;
volatile std::sig_atomic_t in_handler = 0;
volatile std::sig_atomic_t ending_at_once = 0;
volatile std::sig_atomic_t chosen_code = 0;

bool is_request_error(std::int32_t error) noexcept {
  return error == error_code(RuntimeError::InterruptedSignal) ||
         error == error_code(RuntimeError::TerminationRequestSignal) ||
         error == error_code(RuntimeError::QuitRequestSignal);
}

std::int32_t error_of(int signal_number) noexcept {
  return signal_number >= 0 && signal_number < signal_count ? signal_errors[signal_number] : 0;
}

void carry_out(int signal_number) noexcept {
  in_handler = 1;
  on_runtime_signal(signal_number);
  in_handler = 0;
}

// Nothing may wait any longer: the files stop blocking and the process ends
// with the abort already chosen, else with the first request's.
void end_at_once() noexcept {
  if (ending_at_once != 0) return;
  ending_at_once = 1;
  stop_blocking_everywhere();
  std::int32_t code = chosen_code;
  if (pending_abort_message().empty() && first_request != 0) {
    code = error_of(first_request);
    keep_abort_message(code, -1, error_module(), error_function());
  }
  exit_from_signal_handler(code);
}

void take_request(int signal_number) noexcept {
  if (first_request != 0) {
    end_at_once();  // a second request
    return;
  }
  first_request = signal_number;
  arm_deadline(request_deadline_seconds);
  if (request_holds > 0) {
    waiting_signal = signal_number;  // carried out when the holds end
    return;
  }
  carry_out(signal_number);
}

void handle_signal(int signal_number, SignalSource source) noexcept {
  if (source == SignalSource::Deadline) {
    end_at_once();
  } else if (source == SignalSource::Inside && !is_request_error(error_of(signal_number))) {
    carry_out(signal_number);  // a fault cannot wait: returning would repeat it
  } else {
    take_request(signal_number);
  }
}

void install_runtime_signal(int signal_number, RuntimeError error,
                            WhenIgnored when_ignored = WhenIgnored::Handled) noexcept {
  if (signal_number <= 0 || signal_number >= signal_count) return;
  signal_errors[signal_number] = error_code(error);
  install_signal_handler(signal_number, handle_signal, when_ignored);
}

// A request ignored from the start (nohup, a background job of a script,
// which a shell starts with SIGINT and SIGQUIT ignored) stays ignored; the
// termination request of a console that closes still ends the run.
void install_request(int signal_number, RuntimeError error) noexcept {
  install_runtime_signal(signal_number, error, WhenIgnored::StayIgnored);
}

}  // namespace

void install_signal_handlers() noexcept {
  // Faults are carried out even when ignored: returning would repeat them.
  const std::array<std::pair<int, RuntimeError>, 5> faults{{
      {signal_abort, RuntimeError::AbnormalTerminationSignal},
      {signal_floating_point, RuntimeError::FloatingPointErrorSignal},
      {signal_illegal_instruction, RuntimeError::IllegalInstructionSignal},
      {signal_segmentation, RuntimeError::SegmentationViolationSignal},
      {signal_bus_error, RuntimeError::SegmentationViolationSignal},
  }};
  for (const auto& [signal_number, error] : faults) install_runtime_signal(signal_number, error);
  // A hang-up that no console host takes (standard handles redirected) ends
  // the process as a termination request instead of losing buffered records.
  const std::array<std::pair<int, RuntimeError>, 4> requests{{
      {signal_termination, RuntimeError::TerminationRequestSignal},
      {signal_interrupt, RuntimeError::InterruptedSignal},
      {signal_hang_up, RuntimeError::TerminationRequestSignal},
      {signal_quit, RuntimeError::QuitRequestSignal},
  }};
  for (const auto& [signal_number, error] : requests) install_request(signal_number, error);
  for (const int signal_number : other_ending_signals()) {
    install_request(signal_number, RuntimeError::TerminationRequestSignal);
  }
  // The deadline of held requests comes by its signal, ignored or not.
  install_runtime_signal(signal_deadline, RuntimeError::TerminationRequestSignal);
}

bool handling_signal() noexcept { return in_handler != 0; }

void exit_from_signal_handler(std::int32_t code) noexcept {
  hold_requests_until_exit(code);
  arm_deadline(request_deadline_seconds);  // an exit that blocks ends all the same
  runtime_exit_step_from_signal_handler();
  write_pending_abort_message();  // when an exit step under way was cut short
  restore_terminal();
  exit_immediately(code);
}

void on_runtime_signal(int signal_number) noexcept {
  const std::int32_t error = error_of(signal_number);
  if (error == 0) {
    raise_default_signal(signal_number);
    return;
  }
  const ErrorTarget target = raise_runtime_error(error, -1, nullptr, nullptr, nullptr);
  if (target != nullptr) target();
  terminate_with_code(error);
}

void hold_requests_until_exit(std::int32_t code) noexcept {
  chosen_code = code;
  request_holds = request_holds + 1;
}

namespace {

// Carries out the request that waited, if any.
void carry_out_waiting_request() noexcept {
  if (waiting_signal == 0) return;
  const int signal_number = waiting_signal;
  waiting_signal = 0;
  on_runtime_signal(signal_number);
}

}  // namespace

void await_closing_request() noexcept {
  if (!console_closing()) return;
  // At most ten seconds (of 10 ms steps); a request that never comes is
  // carried out here.
  for (int step = 0; step < 1000 && first_request == 0; ++step) wait_for_signal();
  if (first_request == 0) take_request(signal_termination);
  carry_out_waiting_request();
}

HoldRequests::HoldRequests() noexcept { request_holds = request_holds + 1; }

HoldRequests::~HoldRequests() {
  request_holds = request_holds - 1;
  if (request_holds == 0) carry_out_waiting_request();
}

}  // namespace lumetra
