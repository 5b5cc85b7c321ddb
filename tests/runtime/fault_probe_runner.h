// Runs the fault probe in a temporary folder and collects what it leaves: its
// standard error, its exit code, and the file it wrote its records to.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "../files/temp_folder.h"

namespace lumetra {

struct FaultProbeRun {
  std::string standard_error;
  int exit_code = -1;  // -1 when the probe was ended by a signal instead
  std::string file;
};

// The records the probe writes before it ends: "record 0000" to "record 1999".
inline std::string fault_probe_records() {
  std::string records;
  char line[16];
  for (int n = 0; n < 2000; ++n) {
    std::snprintf(line, sizeof line, "record %04d\r\n", n);
    records += line;
  }
  return records;
}

inline FaultProbeRun run_fault_probe(const std::string& module, const std::string& way) {
  const TempFolder folder;
  const std::string command = std::string(LUMETRA_PROBE_DIR "/fault_probe ") + folder.path("records.txt") + " " +
                              module + " " + way + " 2>&1 >/dev/null";
  FaultProbeRun run;
  FILE* output = popen(command.c_str(), "r");
  if (output == nullptr) return run;
  char chunk[512];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, output)) > 0;) run.standard_error.append(chunk, got);
  const int status = pclose(output);
  if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
  run.file = folder.read("records.txt");
  return run;
}

}  // namespace lumetra
