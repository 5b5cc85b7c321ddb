// Signals on Windows, all in one place. The runtime's handlers are reached
// through the C runtime (abort), the top-level exception filter (processor
// faults) and the console control handler (Ctrl+C, Ctrl+Break, a closing
// console), each on its own thread, with the main thread suspended while a
// handler runs, as a signal would interrupt it.
//
// Console control events: one handler of the system's takes every event and
// calls the program's control handlers itself, last registered first until
// one returns TRUE; then Ctrl+C becomes the interrupt and Ctrl+Break the
// termination request. A console that closes (also at logoff or shutdown)
// always ends the process as a termination request once the handlers have
// run, so that the files are closed and the abort message is written: left
// to the system, the process would end without either.
#include "system/signals.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <mutex>
#include <vector>

#include "system/console_signals.h"
#include "system/terminal_mode.h"
#include "system/windows/windows_headers.h"
#include "system/windows/windows_internal.h"

namespace lumetra {

// Windows has no hang-up, quit or bus error: a closing console comes as a
// termination request. The numbers are the ones POSIX systems use; none of
// them arrives, but the deadline, which a timer delivers.
const int signal_hang_up = 1;
const int signal_quit = 3;
const int signal_bus_error = 7;
const int signal_deadline = 14;

// ---- Delivery ----------------------------------------------------------------

namespace {

std::array<std::atomic<SignalHandler>, signal_count> handlers{};
::HANDLE main_thread = nullptr;
DWORD main_thread_id = 0;
std::mutex delivery;

SignalHandler installed_signal_handler(int signal_number) noexcept {
  return signal_number >= 0 && signal_number < signal_count ? handlers[signal_number].load() : nullptr;
}

// Calls the runtime's handler for a signal from another thread as a signal
// would interrupt the main thread: the main thread is suspended while the
// handler runs (it ends the process, or returns when the request is held).
// One at a time.
void deliver_signal(int signal_number, SignalSource source = SignalSource::Inside) noexcept {
  const SignalHandler handler = installed_signal_handler(signal_number);
  if (handler == nullptr) return;
  const std::lock_guard guard(delivery);
  const bool other_thread = GetCurrentThreadId() != main_thread_id && main_thread != nullptr;
  if (other_thread) SuspendThread(main_thread);
  handler(signal_number, source);
  if (other_thread) ResumeThread(main_thread);
}

void deliver_abort(int signal_number) { deliver_signal(signal_number); }

void keep_main_thread() noexcept {
  main_thread_id = GetCurrentThreadId();
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &main_thread, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
}

// ---- Processor faults ----------------------------------------------------------

// Stack kept back for the handler after a stack overflow.
constexpr ULONG guaranteed_stack = 64 * 1024;

LPTOP_LEVEL_EXCEPTION_FILTER previous_filter = nullptr;

int signal_of_exception(DWORD code) noexcept {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_STACK_OVERFLOW: return signal_segmentation;
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW: return signal_floating_point;
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION: return signal_illegal_instruction;
    default: return 0;
  }
}

// The runtime's top-level exception filter: processor faults become the
// signals whose handlers turn them into runtime errors; every other
// exception goes on to the filter that was in force before.
LONG WINAPI runtime_exception_filter(EXCEPTION_POINTERS* pointers) {
  const int signal_number = signal_of_exception(pointers->ExceptionRecord->ExceptionCode);
  // The handler ends the process; it runs on the faulting thread, as a signal would.
  if (const SignalHandler handler = installed_signal_handler(signal_number))
    handler(signal_number, SignalSource::Inside);
  return previous_filter != nullptr ? previous_filter(pointers) : EXCEPTION_CONTINUE_SEARCH;
}

// Installed once; a stack overflow still finds stack to run the handler on.
void start_fault_handling() noexcept {
  ULONG size = guaranteed_stack;
  SetThreadStackGuarantee(&size);
  previous_filter = SetUnhandledExceptionFilter(runtime_exception_filter);
}

// ---- Console control events ------------------------------------------------------

struct Routines {
  std::mutex lock;
  std::vector<PHANDLER_ROUTINE> list;  // registration order
};

// Never destroyed: the system calls on_console_control on a thread of its
// own, also while the exit handlers and static destructors run.
Routines& routines() {
  static Routines* const routines = new Routines;
  return *routines;
}

std::atomic<bool> closing{false};
std::atomic<bool> asked_to_end{false};

bool call_routines(DWORD event) {
  std::vector<PHANDLER_ROUTINE> calling;
  {
    const std::lock_guard guard(routines().lock);
    calling.assign(routines().list.rbegin(), routines().list.rend());
  }
  return std::any_of(calling.begin(), calling.end(), [&](PHANDLER_ROUTINE routine) { return routine(event) != 0; });
}

// ::DWORD: the system calls it with its own type.
BOOL WINAPI on_console_control(::DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    if (call_routines(event)) return TRUE;
    asked_to_end.store(true);
    deliver_signal(event == CTRL_C_EVENT ? signal_interrupt : signal_termination);
    return TRUE;
  }
  closing.store(true);
  (void)call_routines(event);
  restore_terminal();
  deliver_signal(signal_termination);
  // The request is held (records being written): the main thread carries it
  // out and ends the process. Returning would let the system end it first.
  for (;;) ::Sleep(INFINITE);
}

}  // namespace

bool console_closing() noexcept { return closing.load(); }

bool console_asked_to_end() noexcept { return asked_to_end.load(); }

bool add_console_control_routine(PHANDLER_ROUTINE routine) {
  const std::lock_guard guard(routines().lock);
  routines().list.push_back(routine);
  return true;
}

bool remove_console_control_routine(PHANDLER_ROUTINE routine) noexcept {
  std::vector<PHANDLER_ROUTINE>& list = routines().list;
  const std::lock_guard guard(routines().lock);
  const auto found = std::find(list.rbegin(), list.rend(), routine);
  if (found == list.rend()) return false;
  list.erase(std::next(found).base());
  return true;
}

// ---- The runtime's handlers ---------------------------------------------------------

std::span<const int> other_ending_signals() noexcept { return {}; }

// Windows ignores no signal at start but the hang-up it never sends.
void install_signal_handler(int signal_number, SignalHandler handler, WhenIgnored when_ignored) noexcept {
  static const bool started =
      (keep_main_thread(), start_fault_handling(), ::SetConsoleCtrlHandler(on_console_control, TRUE), true);
  (void)started;
  if (signal_number <= 0 || signal_number >= signal_count) return;
  if (when_ignored == WhenIgnored::StayIgnored && signal_ignored(signal_number)) return;
  handlers[signal_number] = handler;
  if (signal_number == SIGABRT) std::signal(SIGABRT, deliver_abort);  // abort() raises it through the C runtime
}

bool signal_ignored(int signal_number) noexcept { return signal_number == signal_hang_up; }

// A timer of the system's pool delivers the deadline from its own thread.
void arm_deadline(unsigned seconds) noexcept {
  static ::HANDLE timer = nullptr;
  if (timer != nullptr) DeleteTimerQueueTimer(nullptr, timer, nullptr);
  timer = nullptr;
  const auto deliver = [](void*, BOOLEAN) { deliver_signal(signal_deadline, SignalSource::Deadline); };
  CreateTimerQueueTimer(&timer, nullptr, deliver, nullptr, seconds * 1000, 0, WT_EXECUTEONLYONCE);
}

void raise_default_signal(int signal_number) noexcept {
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

void wait_for_signal() noexcept { ::Sleep(10); }

}  // namespace lumetra
