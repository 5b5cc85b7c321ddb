// Runs the fault probe in a temporary folder and collects what it leaves: its
// standard error, its exit code, and the file it wrote its records to.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/temp_folder.h"

namespace lumetra {

struct FaultProbeRun {
  std::string standard_error;
  int exit_code = -1;  // -1 when the probe was ended by a signal instead
  std::string file;
};

// The first `count` records the probe writes: "record 0000", "record 0001",
// and so on, numbered modulo 10000.
inline std::string fault_probe_records(std::size_t count = 2000) {
  std::string records;
  char line[16];
  for (std::size_t n = 0; n < count; ++n) {
    std::snprintf(line, sizeof line, "record %04zu\r\n", n % 10000);
    records += line;
  }
  return records;
}

// The records of the first `count` data lines the probe converts.
inline std::string converted_records(std::size_t count) {
  std::string records;
  char record[48];
  for (std::size_t n = 0; n < count; ++n) {
    std::snprintf(record, sizeof record, "$1;1;43200;%04zu,5;230,1;;0\r\n", n);
    records += record;
  }
  return records;
}

// A running fault probe; standard error goes to a file beside its records.
// With `lines`, it converts that many lines into the file before it ends.
class FaultProbe {
 public:
  FaultProbe(const std::string& module, const std::string& way, const std::string& lines = "") {
    const std::string program = LUMETRA_PROBE_DIR "/fault_probe";
    const std::string records = folder_.path("records.txt");
    const std::string errors = folder_.path("errors.txt");
    pid_ = fork();
    if (pid_ != 0) return;
    const int error_fd = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null_fd = open("/dev/null", O_WRONLY);
    if (error_fd < 0 || null_fd < 0 || dup2(error_fd, STDERR_FILENO) < 0 || dup2(null_fd, STDOUT_FILENO) < 0)
      _exit(102);
    const char* last = lines.empty() ? nullptr : lines.c_str();
    execl(program.c_str(), program.c_str(), records.c_str(), module.c_str(), way.c_str(), last,
          static_cast<char*>(nullptr));
    _exit(103);
  }
  FaultProbe(const FaultProbe&) = delete;
  FaultProbe& operator=(const FaultProbe&) = delete;
  ~FaultProbe() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);  // a test that stopped early leaves no probe behind
    waitpid(pid_, nullptr, 0);
  }

  [[nodiscard]] pid_t pid() const noexcept { return pid_; }
  [[nodiscard]] std::uintmax_t file_size() const {
    std::error_code missing;
    const std::uintmax_t size = std::filesystem::file_size(folder_.path("records.txt"), missing);
    return missing ? 0 : size;
  }

  // Waits for the probe to end and collects what it left.
  FaultProbeRun finish() {
    FaultProbeRun run;
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_ && WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
    pid_ = -1;
    run.standard_error = folder_.read("errors.txt");
    run.file = folder_.read("records.txt");
    return run;
  }

 private:
  TempFolder folder_;
  pid_t pid_ = -1;
};

inline FaultProbeRun run_fault_probe(const std::string& module, const std::string& way, const std::string& lines = "") {
  return FaultProbe(module, way, lines).finish();
}

}  // namespace lumetra
