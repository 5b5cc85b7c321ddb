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
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <array>
#include <string>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 7> event_names{"c", "break", "close", "", "", "logoff", "shutdown"};

DWORD event_of(std::string_view name) {
  for (DWORD event = 0; event < event_names.size(); ++event) {
    if (!name.empty() && event_names[event] == name) return event;
  }
  return MAXDWORD;
}

std::string quoted_command_line(int argc, char** argv) {
  std::string line;
  for (int n = 0; n < argc; ++n) line += (n == 0 ? "\"" : " \"") + std::string(argv[n]) + "\"";
  return line;
}

// The program is ended with this one, however this one ends: a test that
// gives up on it leaves no program running behind.
bool start_program(std::string command_line, PROCESS_INFORMATION& started) {
  const HANDLE job = CreateJobObjectA(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job == nullptr || !SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    return false;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                      &startup, &started)) {
    return false;
  }
  AssignProcessToJobObject(job, started.hProcess);
  ResumeThread(started.hThread);
  return true;
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
  WaitForSingleObject(program.hProcess, INFINITE);
  DWORD code = 0;
  if (result == 0 && GetExitCodeProcess(program.hProcess, &code)) result = static_cast<int>(code);
  return result;
}
