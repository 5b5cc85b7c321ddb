// Console signals: SIGPIPE, the restore at exit, and the control thread
// that takes hang-up and size changes.
#include "platform/console_signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/terminal_console/console_host.h"
#include "platform/terminal_mode.h"

namespace lumetra {

namespace {

std::atomic<bool> resize_requested{false};
std::atomic<ConsoleHost*> watched_host{nullptr};
std::atomic<bool> closing{false};

// Blocks every signal in itself, so that the SIGTERM of a close reaches the
// program's own threads, and waits for the console's signals.
void run_control_thread(sigset_t waited) {
  sigset_t all;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, nullptr);
  for (;;) {
    int signal_number = 0;
    if (sigwait(&waited, &signal_number) != 0) continue;
    if (signal_number == SIGWINCH) {
      resize_requested.store(true);
    } else {
      close_console();
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
  struct sigaction hang_up {};
  sigaction(SIGHUP, nullptr, &hang_up);
  if (hang_up.sa_handler != SIG_IGN) sigaddset(&waited, SIGHUP);  // under nohup it stays ignored
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

}  // namespace

bool take_resize_request() noexcept { return resize_requested.exchange(false); }

void watch_console_close(ConsoleHost* host) noexcept { watched_host.store(host); }

bool console_closing() noexcept { return closing.load(); }

void close_console() {
  if (closing.exchange(true)) {
    // Another thread is closing: this one must not carry on (and perhaps end
    // the process normally) before the handlers have run.
    for (;;) pause();
  }
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
