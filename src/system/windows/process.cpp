// Process services over the C runtime and Win32: the exit, standard error,
// and the runtime's signal handlers, which Windows reaches through the
// exception filter (faults), the console control handler (Ctrl+C,
// Ctrl+Break, a closing console) and the C runtime (abort).
#include "system/process.h"

#include <array>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <mutex>

#include "system/windows/windows_headers.h"
#include "system/windows/windows_internal.h"

namespace lumetra {

namespace {

bool write_everything(::DWORD handle, std::string_view bytes) noexcept {
  const ::HANDLE stream = ::GetStdHandle(handle);
  while (!bytes.empty()) {
    ::DWORD written = 0;
    if (::WriteFile(stream, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) == 0 || written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace

// Nothing more can be done about a failing standard error.
void write_standard_error(std::string_view bytes) noexcept { (void)write_everything(STD_ERROR_HANDLE, bytes); }

bool write_standard_output(std::string_view bytes) noexcept { return write_everything(STD_OUTPUT_HANDLE, bytes); }

// Windows has no hang-up, quit or bus error: a closing console comes as a
// termination request. The numbers are the ones POSIX systems use; none of
// them arrives, but the deadline, which a timer delivers.
const int signal_hang_up = 1;
const int signal_quit = 3;
const int signal_bus_error = 7;
const int signal_deadline = 14;

namespace {

std::array<std::atomic<SignalHandler>, signal_count> handlers{};
::HANDLE main_thread = nullptr;
DWORD main_thread_id = 0;
std::mutex delivery;

void deliver_abort(int signal_number) { deliver_signal(signal_number); }

void keep_main_thread() noexcept {
  main_thread_id = GetCurrentThreadId();
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &main_thread, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
}

}  // namespace

// Handles are inherited as they are; none is reused for the program's files.
void open_closed_standard_descriptors() noexcept {}

std::span<const int> other_ending_signals() noexcept { return {}; }

SignalHandler installed_signal_handler(int signal_number) noexcept {
  return signal_number >= 0 && signal_number < signal_count ? handlers[signal_number].load() : nullptr;
}

// Windows ignores no signal at start but the hang-up it never sends.
void install_signal_handler(int signal_number, SignalHandler handler, WhenIgnored when_ignored) noexcept {
  static const bool started = (keep_main_thread(), start_fault_handling(), start_console_control(), true);
  (void)started;
  if (signal_number <= 0 || signal_number >= signal_count) return;
  if (when_ignored == WhenIgnored::StayIgnored && signal_ignored(signal_number)) return;
  handlers[signal_number] = handler;
  if (signal_number == SIGABRT) std::signal(SIGABRT, deliver_abort);  // abort() raises it through the C runtime
}

bool signal_ignored(int signal_number) noexcept { return signal_number == signal_hang_up; }

// A write to a pipe whose reader is gone, or to a full disk, fails on
// Windows anyway.
void ignore_write_signals() noexcept {}

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

// TerminateProcess, not ExitProcess: no library is told, so nothing can wait
// for a lock that the interrupted thread holds.
void exit_immediately(std::int32_t code) noexcept {
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
  for (;;) ::Sleep(INFINITE);
}

void deliver_signal(int signal_number, SignalSource source) noexcept {
  const SignalHandler handler = installed_signal_handler(signal_number);
  if (handler == nullptr) return;
  const std::lock_guard guard(delivery);
  const bool other_thread = GetCurrentThreadId() != main_thread_id && main_thread != nullptr;
  if (other_thread) SuspendThread(main_thread);
  handler(signal_number, source);
  if (other_thread) ResumeThread(main_thread);
}

}  // namespace lumetra
