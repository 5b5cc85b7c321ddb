// Real processor faults in a process that runs the runtime: each ends with its
// runtime error, its abort message and the records written so far on disk.
#include <gtest/gtest.h>

#include <string>

#include "fault_probe_runner.h"

namespace lumetra {
namespace {

std::string abort_message(int number, const std::string& text, const std::string& place) {
  return "\r\nAborting due to runtime error " + std::to_string(number) + " (" + text + ")" + place + "\r\n\r\n";
}

TEST(Signals, FaultsEndWithTheirErrorAndTheFileClosed) {
  struct Case {
    const char* way;
    int number;
    const char* text;
  };
  const Case cases[] = {
      {"segfault", 12, "\"segmentation violation\" signal"},
      {"overflow", 12, "\"segmentation violation\" signal"},
      {"divide", 11, "\"floating point error\" signal"},
      {"illegal", 10, "\"illegal instruction\" signal"},
      {"abort", 14, "\"abnormal termination\" signal"},
  };
  const std::string records = fault_probe_records();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.way);
    const FaultProbeRun run = run_fault_probe("lumetra", c.way);
    EXPECT_EQ(run.exit_code, c.number);
    EXPECT_EQ(run.standard_error, abort_message(c.number, c.text, " in lumetra::()"));
    EXPECT_EQ(run.file, records);
  }
}

TEST(Signals, WithoutModuleTheMessageEndsAfterTheErrorText) {
  const FaultProbeRun run = run_fault_probe("none", "segfault");
  EXPECT_EQ(run.exit_code, 12);
  EXPECT_EQ(run.standard_error, abort_message(12, "\"segmentation violation\" signal", ""));
  EXPECT_EQ(run.file, fault_probe_records());
}

// A termination request that arrives while the exit handlers run is held
// back: the chosen error stays, its message is written once, the file closed.
TEST(Signals, RequestDuringTheExitIsHeldBack) {
  const FaultProbeRun run = run_fault_probe("lumetra", "held");
  EXPECT_EQ(run.exit_code, 6);
  EXPECT_EQ(run.standard_error, abort_message(6, "out of bounds array access", " in lumetra::()"));
  EXPECT_EQ(run.file, fault_probe_records());
}

}  // namespace
}  // namespace lumetra
