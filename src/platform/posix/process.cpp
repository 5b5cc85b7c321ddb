// Process services over the C library and POSIX.
#include "platform/process.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace lumetra {
namespace {

void write_everything(int fd, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;  // nothing more can be done about a failing standard stream
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

void write_standard_error(std::string_view bytes) noexcept { write_everything(STDERR_FILENO, bytes); }

void write_standard_output(std::string_view bytes) noexcept { write_everything(STDOUT_FILENO, bytes); }

}  // namespace lumetra

namespace lumetra {

const int signal_hang_up = SIGHUP;

namespace {

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

}  // namespace

void install_signal_handler(int signal_number, SignalHandler handler) noexcept {
  ensure_alternate_stack();
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  for (const int blocked : {SIGABRT, SIGFPE, SIGILL, SIGSEGV, SIGTERM, SIGINT, SIGHUP}) {
    if (blocked != signal_number) sigaddset(&action.sa_mask, blocked);
  }
  action.sa_flags = SA_ONSTACK | SA_RESTART;
  sigaction(signal_number, &action, nullptr);
}

bool signal_ignored(int signal_number) noexcept {
  struct sigaction action {};
  sigaction(signal_number, nullptr, &action);
  return action.sa_handler == SIG_IGN;
}

void ignore_broken_pipe() noexcept { signal(SIGPIPE, SIG_IGN); }

void raise_default_signal(int signal_number) noexcept {
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

void wait_for_signal() noexcept {
  const timespec step{0, 10'000'000};
  nanosleep(&step, nullptr);  // cut short by a signal
}

void exit_immediately(std::int32_t code) noexcept { _exit(code); }

}  // namespace lumetra
