// Signals and processor faults as numbered runtime errors.
#include "runtime/signals.h"

#include <array>
#include <csignal>

#include "platform/process.h"
#include "platform/terminal_mode.h"
#include "runtime/lifecycle.h"
#include "runtime/runtime_error.h"

namespace lumetra {
namespace {

// Runtime error number of each signal number; 0 = none.
std::array<std::int32_t, signal_count> signal_errors{};

// Holds on interrupt and termination requests (records being written, the
// exit under way), and the request that waits for them.
volatile std::sig_atomic_t request_holds = 0;
volatile std::sig_atomic_t waiting_signal = 0;
volatile std::sig_atomic_t requests_taken = 0;
volatile std::sig_atomic_t in_handler = 0;

bool is_request(int signal_number) noexcept {
  return signal_number == signal_interrupt || signal_number == signal_termination || signal_number == signal_hang_up;
}

void handle_signal(int signal_number) noexcept {
  if (is_request(signal_number)) requests_taken = 1;
  if (request_holds > 0 && is_request(signal_number)) {
    waiting_signal = signal_number;  // carried out when the hold ends, if ever
    return;
  }
  in_handler = 1;
  on_runtime_signal(signal_number);
  in_handler = 0;
}

void install_runtime_signal(int signal_number, RuntimeError error) noexcept {
  signal_errors[signal_number] = error_code(error);
  install_signal_handler(signal_number, handle_signal);
}

}  // namespace

void install_signal_handlers() noexcept {
  const std::array<std::pair<int, RuntimeError>, 6> table{{
      {signal_abort, RuntimeError::AbnormalTerminationSignal},
      {signal_floating_point, RuntimeError::FloatingPointErrorSignal},
      {signal_illegal_instruction, RuntimeError::IllegalInstructionSignal},
      {signal_segmentation, RuntimeError::SegmentationViolationSignal},
      {signal_termination, RuntimeError::TerminationRequestSignal},
      {signal_interrupt, RuntimeError::InterruptedSignal},
  }};
  for (const auto& [signal_number, error] : table) install_runtime_signal(signal_number, error);
  // A hang-up that no console host takes (standard handles redirected) ends
  // the process as a termination request instead of losing buffered records;
  // under nohup it stays ignored.
  if (!signal_ignored(signal_hang_up)) install_runtime_signal(signal_hang_up, RuntimeError::TerminationRequestSignal);
  ignore_write_signals();
}

bool handling_signal() noexcept { return in_handler != 0; }

void exit_from_signal_handler(std::int32_t code) noexcept {
  runtime_exit_step_from_signal_handler();
  restore_terminal();
  exit_immediately(code);
}

void on_runtime_signal(int signal_number) noexcept {
  const std::int32_t error = signal_number >= 0 && signal_number < signal_count ? signal_errors[signal_number] : 0;
  if (error == 0) {
    raise_default_signal(signal_number);
    return;
  }
  const ErrorTarget target = raise_runtime_error(error, -1, nullptr, nullptr, nullptr);
  if (target != nullptr) target();
  terminate_with_code(error);
}

void hold_requests_until_exit() noexcept { request_holds = request_holds + 1; }

bool request_waiting() noexcept { return waiting_signal != 0; }

void await_request() noexcept {
  while (requests_taken == 0) wait_for_signal();
  if (waiting_signal != 0) {
    const int signal_number = waiting_signal;
    waiting_signal = 0;
    on_runtime_signal(signal_number);
  }
}

HoldRequests::HoldRequests() noexcept { request_holds = request_holds + 1; }

HoldRequests::~HoldRequests() {
  request_holds = request_holds - 1;
  if (request_holds == 0 && waiting_signal != 0) {
    const int signal_number = waiting_signal;
    waiting_signal = 0;
    on_runtime_signal(signal_number);
  }
}

}  // namespace lumetra
