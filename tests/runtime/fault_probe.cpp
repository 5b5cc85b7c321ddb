// Starts the runtime as the converter does, writes records to an open file
// and then ends in the way asked, so that a test can read the abort message,
// the exit code and the file left on disk.
// Usage: fault_probe FILE MODULE WAY [LINES]
//   With LINES, FILE is the converter's target instead: that many data lines
//   "120000;NNNN.5;230.1" are converted into it (their records still waiting
//   in the converter's batch), and then the probe ends the way asked.
//   MODULE  lumetra (module "lumetra", function "") or none (neither set)
//   WAY     segfault | divide | illegal | abort | overflow: a real fault;
//           held: an exit handler that sends itself SIGTERM (Ctrl+Break on
//           Windows), then error 6;
//           twice: a second runtime_initialise, exit handlers around a
//           second exit step reporting whether the file is on disk, then
//           error 6; end: the normal end (code 0); endless: records
//           "record 0000" to "record 9999" over and over, each written in
//           two pieces, until a signal ends the process; memory: a long
//           line converted while memory runs out; growing: a long line
//           converted while requests are held, whose record makes the
//           converter's batch grow: there a request comes, and its two
//           seconds run out before the new block is in place
// Exits with 100 when the way did not end the process.
#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "converter/record_converter.h"
#include "files/file_exit.h"
#include "files/file_slots.h"
#include "files/print_output.h"
#include "runtime/lifecycle.h"
#include "runtime/runtime_error.h"
#include "runtime/signals.h"
#include "system/memory.h"
#include "system/process.h"
#include "system/signals.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace {

using namespace lumetra;

constexpr FileNumber output_file = 1;
constexpr int record_count = 2000;  // "record 0000" to "record 1999", several stream buffers' worth
constexpr std::uintmax_t file_size = record_count * std::string_view("record 0000\r\n").size();
std::string output_path;

// All the records are on disk only once the file is closed.
void report_file_on_disk(std::string_view moment) {
  std::error_code ignored;
  const bool complete = std::filesystem::file_size(output_path, ignored) == file_size;
  write_standard_error(std::string(moment) + (complete ? ": complete\n" : ": incomplete\n"));
}

void report_before_inner_step() { report_file_on_disk("before the inner exit step"); }
void report_between_steps() { report_file_on_disk("between the exit steps"); }
#if defined(_WIN32)
// As a console delivers Ctrl+Break: a thread of the process starts in the
// system's control routine. Waiting for it, as raise waits for the handler.
void send_termination_request() {
  const FARPROC routine = GetProcAddress(GetModuleHandleA("kernelbase.dll"), "CtrlRoutine");
  const HANDLE thread =
      CreateThread(nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(routine)),
                   reinterpret_cast<void*>(static_cast<ULONG_PTR>(CTRL_BREAK_EVENT)), 0, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}
#else
void send_termination_request() { (void)std::raise(SIGTERM); }
#endif

#if defined(_WIN32)
void bound_stack() {}  // the main thread's stack is fixed at link time
#else
// A bounded stack, so that the overflow comes soon even under an unlimited
// stack size.
void bound_stack() {
  rlimit stack_limit{};
  if (getrlimit(RLIMIT_STACK, &stack_limit) == 0 && stack_limit.rlim_cur > (8 << 20)) {
    stack_limit.rlim_cur = 8 << 20;
    (void)setrlimit(RLIMIT_STACK, &stack_limit);
  }
}
#endif

volatile bool keep_recursing = true;

// Each frame keeps a buffer alive across the call, so the recursion can be
// neither folded nor turned into a loop.
int recurse(int depth) {
  volatile char frame[1024];
  frame[depth % sizeof frame] = static_cast<char>(depth);
  if (!keep_recursing) return 0;
  return recurse(depth + 1) + frame[depth % sizeof frame];
}

void set_number(char* digits, int n) {
  for (int digit = 3; digit >= 0; --digit, n /= 10) digits[digit] = static_cast<char>('0' + n % 10);
}

void write_records() {
  (void)file_open(output_path.c_str(), mode_output, access_any, 0, output_file, 0);
  char record[] = "record 0000";
  for (int n = 0; n < record_count; ++n) {
    set_number(record + 7, n);
    print_text(output_file, record, ending_line);
  }
}

// A signal may come between the two pieces of a record; only the guard keeps
// the record whole.
[[noreturn]] void write_records_endlessly() {
  char number[] = "0000";
  for (int n = record_count;; n = (n + 1) % 10000) {
    const HoldRequests hold;
    print_text(output_file, "record ", ending_none);
    set_number(number, n);
    print_text(output_file, number, ending_line);
  }
}

void raise_held_error() { (void)raise_runtime_error(6, -1, nullptr, nullptr, nullptr); }

RecordConverter* converter = nullptr;

void convert_lines(int count) {
  constexpr FileNumber target_file = 2;
  (void)file_open(output_path.c_str(), mode_output, access_any, 0, target_file, 0);
  char line[] = "120000;0000.5;230.1";
  for (int n = 0; n < count; ++n) {
    set_number(line + 7, n);
    (void)converter->convert_line(line);
  }
}

// A line whose record needs more room than the converter has, while memory
// cannot be had.
void convert_with_no_memory() {
  const std::string line = "120000;" + std::string(1 << 20, '7');
  const FailingAllocations no_memory;
  (void)converter->convert_line(line);
}

void wait_for_the_bound() {
  send_termination_request();
  for (;;) wait_for_signal();
}

// A line whose record needs more room than the converter's batch has.
void grow_until_the_bound() {
  const std::string line = "120000;" + std::string(2 << 20, '7');
  const HoldRequests hold;  // as the conversion loop holds them
  const PausingAllocations pause(wait_for_the_bound);
  (void)converter->convert_line(line);
}

#if defined(__aarch64__)
// ARM's integer division gives 0 for a zero divisor instead of faulting, so
// the signal the fault would bring is sent instead.
void divide_by_zero() { (void)std::raise(SIGFPE); }
// The permanently undefined instruction (UDF); a trap instruction would give
// SIGTRAP here.
void execute_illegal_instruction() { __asm__ volatile("udf #0"); }
#else
__attribute__((no_sanitize("undefined"))) void divide_by_zero() {
  // Both operands unknown to the compiler: 1 / x alone becomes a comparison.
  volatile int dividend = 7;
  volatile int zero = 0;
  volatile int quotient = dividend / zero;
  (void)quotient;
}
void execute_illegal_instruction() { __builtin_trap(); }
#endif

// The faults are the point: under the undefined-behaviour checks of a
// sanitizer build they must still happen rather than be reported.
__attribute__((no_sanitize("undefined"))) void end_the_way(std::string_view way) {
  if (way == "segfault") {
    volatile int* volatile nowhere = nullptr;  // neither the address nor the store may be dropped
    *nowhere = 1;
  } else if (way == "divide") {
    divide_by_zero();
  } else if (way == "illegal") {
    execute_illegal_instruction();
  } else if (way == "abort") {
    std::abort();
  } else if (way == "overflow") {
    bound_stack();
    (void)recurse(0);
  } else if (way == "held") {
    register_exit_handler(send_termination_request);
    raise_held_error();
  } else if (way == "twice") {
    runtime_initialise();
    register_exit_handler(report_between_steps);
    register_exit_handler(runtime_exit_step);
    register_exit_handler(report_before_inner_step);
    raise_held_error();
  } else if (way == "end") {
    terminate_with_code(0);
  } else if (way == "endless") {
    write_records_endlessly();
  } else if (way == "memory") {
    convert_with_no_memory();
  } else if (way == "growing") {
    grow_until_the_bound();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) return 101;
  output_path = argv[1];
  register_file_exit_steps();  // the exit step closes the files, as in the converter's start-up
  run_global_initialisation();
  if (std::string_view(argv[2]) == "lumetra") {
    (void)set_error_module("lumetra");
    (void)set_error_function("");
  }
  install_signal_handlers();
  RecordConverter record_converter;  // lives until the process ends, as the main flow's does
  converter = &record_converter;
  if (argc == 5) {
    convert_lines(std::atoi(argv[4]));
  } else {
    write_records();
  }
  end_the_way(argv[3]);
  return 100;
}
