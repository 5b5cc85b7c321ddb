// Delivers a console control event to a program the way Windows does: a
// thread of the program starts in the system's control routine
// (kernelbase's CtrlRoutine) with the event, and that routine calls the
// program's control handlers. Wine has no other way to send Ctrl+Break or
// the close, logoff and shutdown events.
// Usage: control_event CUE EVENT PROGRAM [ARGUMENT...]
//   Starts PROGRAM with the arguments (each given in double quotes, so none
//   may hold one) in this console, with these standard handles; once the
//   file CUE exists, delivers EVENT (c, break, close, logoff or shutdown)
//   and waits for the program to end. Exits with the program's exit code;
//   with 100 to 102 when the program, the routine or the thread could not be
//   had (a program started is then ended), with 103 when the program ended
//   before the cue.
#include <array>
#include <string_view>

#include "child_process.h"

namespace {

constexpr std::array<std::string_view, 7> event_names{"c", "break", "close", "", "", "logoff", "shutdown"};

DWORD event_of(std::string_view name) {
  for (DWORD event = 0; event < event_names.size(); ++event) {
    if (!name.empty() && event_names[event] == name) return event;
  }
  return MAXDWORD;
}

// True once the cue file exists; false when the program ended first.
bool await_cue(const char* cue, HANDLE program) {
  while (GetFileAttributesA(cue) == INVALID_FILE_ATTRIBUTES) {
    if (WaitForSingleObject(program, 10) == WAIT_OBJECT_0) return false;
  }
  return true;
}

int deliver(HANDLE program, DWORD event) {
  const HMODULE kernelbase = GetModuleHandleA("kernelbase.dll");
  const FARPROC routine = kernelbase != nullptr ? GetProcAddress(kernelbase, "CtrlRoutine") : nullptr;
  if (routine == nullptr) return 101;
  // System libraries lie at the same address in every process.
  const HANDLE thread = CreateRemoteThread(program, nullptr, 0,
                                           reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<void*>(routine)),
                                           reinterpret_cast<void*>(static_cast<ULONG_PTR>(event)), 0, nullptr);
  if (thread == nullptr) return 102;
  CloseHandle(thread);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || event_of(argv[2]) == MAXDWORD) return 100;
  PROCESS_INFORMATION program{};
  if (!start_program(quoted_command_line(argc - 3, argv + 3), program)) return 100;
  int result = await_cue(argv[1], program.hProcess) ? deliver(program.hProcess, event_of(argv[2])) : 103;
  if (result != 0) TerminateProcess(program.hProcess, static_cast<UINT>(result));  // nothing will end it
  const int code = program_exit_code(program.hProcess);
  return result != 0 ? result : code;
}
