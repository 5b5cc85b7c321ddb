// Process services over the C library and POSIX.
#include "system/process.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>

#include "system/posix/posix_internal.h"

namespace lumetra {
namespace {

unsigned closed_at_start = 0;  // bit n: descriptor n was closed

bool write_everything(int fd, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

void open_closed_standard_descriptors() noexcept {
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    // The lowest free number is taken, so each closed one is filled in turn.
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      closed_at_start |= 1u << fd;
      (void)::open("/dev/null", O_RDWR);
    }
  }
}

bool standard_descriptor_was_closed(int fd) noexcept {
  return fd >= 0 && fd < 3 && (closed_at_start & (1u << fd)) != 0;
}

// Nothing more can be done about a failing standard error.
void write_standard_error(std::string_view bytes) noexcept { (void)write_everything(STDERR_FILENO, bytes); }

// A standard output that was closed at start holds /dev/null since: what
// is written there is lost, as to a closed pipe.
bool write_standard_output(std::string_view bytes) noexcept {
  return !standard_descriptor_was_closed(STDOUT_FILENO) && write_everything(STDOUT_FILENO, bytes);
}

}  // namespace lumetra

namespace lumetra {

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

void ignore_write_signals() noexcept {
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

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
