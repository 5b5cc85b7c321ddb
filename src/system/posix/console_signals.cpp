// Console signals: SIGPIPE, the restore at exit, and the control thread
// that takes hang-up, size changes, and stopping and continuing.
#include "system/console_signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <vector>

#include "console_host/console_host.h"
#include "system/process.h"
#include "system/terminal_mode.h"

namespace lumetra {

namespace {

std::atomic<bool> resize_requested{false};
std::atomic<ConsoleHost*> watched_host{nullptr};
std::atomic<bool> closing{false};

// Runs under the watched host's lock, so that no console call is half
// written to the terminal meanwhile.
template <typename Step>
void with_console(Step step) {
  if (ConsoleHost* host = watched_host.load()) {
    const std::lock_guard guard(host->lock());
    step(host);
  } else {
    step(nullptr);
  }
}

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
  with_console([](ConsoleHost* host) {
    if (host != nullptr) host->continue_terminal();
  });
}

// The shell gets its terminal back as it handed it over before the process
// stops; the console takes it over again once it continues.
void stop_console() {
  with_console([](ConsoleHost*) { restore_terminal(); });
  stop_process();
  continue_console();
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
      case SIGWINCH: resize_requested.store(true); break;
      case SIGTSTP: stop_console(); break;
      case SIGCONT: continue_console(); break;
      default: close_console(); break;
    }
  }
}

// Runs before main, while no thread exists yet, so that every later thread
// inherits the blocked signals.
bool start_console_signals() {
  signal(SIGPIPE, SIG_IGN);
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

bool take_resize_request() noexcept { return resize_requested.exchange(false); }

void watch_console_close(ConsoleHost* host) noexcept { watched_host.store(host); }

bool console_closing() noexcept { return closing.load(); }

void close_console() {
  if (closing.exchange(true)) await_the_end_of_the_close();
  if (ConsoleHost* host = watched_host.load()) {
    std::vector<PHANDLER_ROUTINE> handlers;
    {
      const std::lock_guard guard(host->lock());
      handlers = host->model().control_handlers();
    }
    call_control_handlers(handlers, CTRL_CLOSE_EVENT);
  }
  restore_terminal();
  kill(getpid(), SIGTERM);
}

}  // namespace lumetra
