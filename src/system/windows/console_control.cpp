// Console control events. One handler of the system's takes every event and
// calls the program's control handlers itself, last registered first until
// one returns TRUE; then Ctrl+C becomes the interrupt and Ctrl+Break the
// termination request. A console that closes (also at logoff or shutdown)
// always ends the process as a termination request once the handlers have
// run, so that the files are closed and the abort message is written: left
// to the system, the process would end without either.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "system/console_signals.h"
#include "system/terminal_mode.h"
#include "system/windows/windows_headers.h"
#include "system/windows/windows_internal.h"

namespace lumetra {

namespace {

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

void start_console_control() noexcept { ::SetConsoleCtrlHandler(on_console_control, TRUE); }

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

}  // namespace lumetra
