// Signals on POSIX, all in one place: the runtime's handlers, run on an
// alternate stack and told where each signal came from; the deadline; and,
// started before main, the write signals ignored, the terminal restore at
// exit, and the control thread that takes the terminal's signals for the
// console.
#include "system/signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <system_error>
#include <thread>

#include "system/console_signals.h"
#include "system/posix/posix_internal.h"
#include "system/terminal_mode.h"

namespace lumetra {

// ---- The runtime's handlers --------------------------------------------------

const int signal_hang_up = SIGHUP;
const int signal_quit = SIGQUIT;
const int signal_bus_error = SIGBUS;
const int signal_deadline = SIGALRM;

namespace {

SignalHandler handlers[signal_count] = {};
// Signals ignored at start whose handler hears only the process itself.
volatile std::sig_atomic_t only_from_itself[signal_count] = {};

// A stack for the handlers, so that a stack overflow can still be reported.
// Static storage: it must outlive every exit handler, and a handler may run
// while they do.
alignas(16) char alternate_stack[1 << 16];

void ensure_alternate_stack() noexcept {
  static bool installed = false;
  if (installed) return;
  installed = true;
  stack_t stack{};
  stack.ss_sp = alternate_stack;
  stack.ss_size = sizeof alternate_stack;
  sigaltstack(&stack, nullptr);
}

// A signal sent by kill() or sigqueue() carries the sender's process; the
// kernel's own (faults, the terminal, timers) carry a positive code.
SignalSource source_of(int signal_number, const siginfo_t& info) noexcept {
  if (signal_number == SIGALRM && info.si_code == SI_KERNEL) return SignalSource::Deadline;
  return info.si_code <= 0 && info.si_pid != getpid() ? SignalSource::Outside : SignalSource::Inside;
}

bool sent_by_this_process(const siginfo_t& info) noexcept { return info.si_code <= 0 && info.si_pid == getpid(); }

volatile std::sig_atomic_t deadline_came = 0;

void deliver_signal(int signal_number, siginfo_t* info, void*) noexcept {
  if (only_from_itself[signal_number] != 0 && !sent_by_this_process(*info)) return;
  const SignalSource source = source_of(signal_number, *info);
  if (source == SignalSource::Deadline) deadline_came = 1;
  handlers[signal_number](signal_number, source);
}

}  // namespace

std::span<const int> other_ending_signals() noexcept {
  static int numbers[signal_count];
  static std::size_t count = 0;
  if (count == 0) {
    for (const int number :
         {SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGPWR, SIGSYS, SIGTRAP, SIGSTKFLT, SIGIO}) {
      numbers[count++] = number;
    }
    for (int number = SIGRTMIN; number <= SIGRTMAX && count < signal_count; ++number) numbers[count++] = number;
  }
  return {numbers, count};
}

void install_signal_handler(int signal_number, SignalHandler handler, WhenIgnored when_ignored) noexcept {
  if (signal_number <= 0 || signal_number >= signal_count) return;
  ensure_alternate_stack();
  only_from_itself[signal_number] = when_ignored == WhenIgnored::StayIgnored && signal_ignored(signal_number);
  handlers[signal_number] = handler;
  struct sigaction action {};
  action.sa_sigaction = deliver_signal;
  sigfillset(&action.sa_mask);
  sigdelset(&action.sa_mask, SIGALRM);
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
  sigaction(signal_number, &action, nullptr);
}

void arm_deadline(unsigned seconds) noexcept { alarm(seconds); }

bool deadline_passed() noexcept { return deadline_came != 0; }

bool signal_ignored(int signal_number) noexcept {
  struct sigaction action {};
  sigaction(signal_number, nullptr, &action);
  return action.sa_handler == SIG_IGN;
}

void raise_default_signal(int signal_number) noexcept {
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

void wait_for_signal() noexcept {
  const timespec step{0, 10'000'000};
  nanosleep(&step, nullptr);  // cut short by a signal
}

// ---- The console's terminal --------------------------------------------------

namespace {

std::atomic<const ConsoleSignalHooks*> console_hooks{nullptr};
std::atomic<bool> closing{false};

// Stops the process as SIGTSTP does by default, from this thread, which
// blocks it otherwise; returns once the process continues (at once when the
// system drops the stop, as for an orphaned process group).
void stop_process() noexcept {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  signal(SIGTSTP, SIG_DFL);
  pthread_kill(pthread_self(), SIGTSTP);
  pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);  // the pending signal stops the process here
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
}

void continue_console() {
  const ConsoleSignalHooks* hooks = console_hooks.load();
  if (hooks != nullptr && hooks->continued != nullptr) hooks->continued();
}

// The shell gets its terminal back as it handed it over before the process
// stops; the console takes it over again once it continues.
void stop_console() {
  const ConsoleSignalHooks* hooks = console_hooks.load();
  if (hooks != nullptr && hooks->stopping != nullptr) {
    hooks->stopping();
  } else {
    restore_terminal();
  }
  stop_process();
  continue_console();
}

void resize_console() noexcept {
  const ConsoleSignalHooks* hooks = console_hooks.load();
  if (hooks != nullptr && hooks->resized != nullptr) hooks->resized();
}

// Blocks every signal in itself, so that the SIGTERM of a close reaches the
// program's own threads, and waits for the console's signals.
void run_control_thread(sigset_t waited) {
  sigset_t all;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, nullptr);
  for (;;) {
    int signal_number = 0;
    if (sigwait(&waited, &signal_number) != 0) continue;
    switch (signal_number) {
      case SIGWINCH: resize_console(); break;
      case SIGTSTP: stop_console(); break;
      case SIGCONT: continue_console(); break;
      default: close_console(); break;
    }
  }
}

// Runs before main, while no thread exists yet, so that every later thread
// inherits the blocked signals. Writing to a pipe whose reader is gone
// (EPIPE) or beyond the file-size limit (EFBIG) fails instead of ending the
// process.
bool start_console_signals() {
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
  // Registered first, so it runs last: after the abort message is written.
  std::atexit(restore_terminal);
  if (isatty(STDIN_FILENO) == 0 && isatty(STDOUT_FILENO) == 0) return false;
  sigset_t waited;
  sigemptyset(&waited);
  sigaddset(&waited, SIGWINCH);
  sigaddset(&waited, SIGCONT);
  // Ignored ones stay ignored: SIGHUP under nohup, SIGTSTP in a shell without job control.
  if (!signal_ignored(SIGHUP)) sigaddset(&waited, SIGHUP);
  if (!signal_ignored(SIGTSTP)) sigaddset(&waited, SIGTSTP);
  pthread_sigmask(SIG_BLOCK, &waited, nullptr);
  try {
    std::thread(run_control_thread, waited).detach();
  } catch (const std::system_error&) {
    pthread_sigmask(SIG_UNBLOCK, &waited, nullptr);  // no thread to take them: default actions
    return false;
  }
  return true;
}

const bool control_thread_started = start_console_signals();

// Another thread is closing: this one must not carry on (and perhaps end
// the process normally) before its termination request has ended the
// process. Should that never happen, the request's default action does.
void await_the_end_of_the_close() noexcept {
  constexpr int steps = 1000;  // of at most 10 ms: five times the bound of a held request
  for (int step = 0; step < steps; ++step) wait_for_signal();
  raise_default_signal(SIGTERM);
}

}  // namespace

void set_console_signal_hooks(const ConsoleSignalHooks& hooks) noexcept { console_hooks.store(&hooks); }

bool console_closing() noexcept { return closing.load(); }

void close_console() {
  if (closing.exchange(true)) await_the_end_of_the_close();
  const ConsoleSignalHooks* hooks = console_hooks.load();
  if (hooks != nullptr && hooks->closing != nullptr) hooks->closing();
  restore_terminal();
  kill(getpid(), SIGTERM);
}

}  // namespace lumetra
