// Starting a program in this console, for the test programs that run
// lumetra.exe as a console of Windows would.
#pragma once

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

// The arguments, each in double quotes (so none may hold one).
inline std::string quoted_command_line(int argc, char** argv) {
  std::string line;
  for (int n = 0; n < argc; ++n) line += (n == 0 ? "\"" : " \"") + std::string(argv[n]) + "\"";
  return line;
}

// Starts the program in this console, with these standard handles. It is
// ended with this one, however this one ends: a test that gives up on it
// leaves no program running behind.
inline bool start_program(std::string command_line, PROCESS_INFORMATION& started) {
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

// Waits for the program to end; its exit code.
inline int program_exit_code(HANDLE program) {
  WaitForSingleObject(program, INFINITE);
  DWORD code = 0;
  return GetExitCodeProcess(program, &code) ? static_cast<int>(code) : -1;
}
