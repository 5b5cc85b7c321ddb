// Real processor faults in a process that runs the runtime: each ends with its
// runtime error, its abort message and the records written so far on disk.
#include "system/signals.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

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
      {"segfault", 12, "\"segmentation violation\" signal"}, {"overflow", 12, "\"segmentation violation\" signal"},
      {"divide", 11, "\"floating point error\" signal"},     {"illegal", 10, "\"illegal instruction\" signal"},
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

// The records converted before a fault still wait in the converter's batch:
// they reach the target on every way out.
TEST(Signals, RecordsWaitingInTheConverterReachTheTargetOnEveryWayOut) {
  struct Case {
    const char* way;
    int number;
    const char* text;
  };
  const Case cases[] = {
      {"segfault", 12, "\"segmentation violation\" signal"},
      {"divide", 11, "\"floating point error\" signal"},
      {"illegal", 10, "\"illegal instruction\" signal"},
      {"abort", 14, "\"abnormal termination\" signal"},
      {"held", 6, "out of bounds array access"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.way);
    const FaultProbeRun run = run_fault_probe("lumetra", c.way, "50");
    EXPECT_EQ(run.exit_code, c.number);
    EXPECT_EQ(run.standard_error, abort_message(c.number, c.text, " in lumetra::()"));
    EXPECT_EQ(run.file, converted_records(50));
  }
  const FaultProbeRun run = run_fault_probe("lumetra", "memory", "50");
  EXPECT_EQ(run.exit_code, 4);
  EXPECT_EQ(run.standard_error, abort_message(4, "out of memory", " at line 44 of lumetra::()"));
  EXPECT_EQ(run.file, converted_records(50));
}

// The two seconds of a held request run out while the converter grows its
// batch, its old block already freed: the records waiting in it reach the
// target all the same.
TEST(Signals, TheBoundDuringAReallocationWritesTheWaitingRecords) {
  const FaultProbeRun run = run_fault_probe("lumetra", "growing", "50");
  EXPECT_EQ(run.exit_code, 13);
  EXPECT_EQ(run.standard_error, abort_message(13, "\"termination request\" signal", " in lumetra::()"));
  EXPECT_EQ(run.file, converted_records(50));
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

// Interrupts and termination requests sent from outside while records are
// written in pieces: the process ends between two records, with the records
// written so far on disk and nothing of the one being written.
TEST(Signals, RequestsWaitUntilTheRecordIsWhole) {
  struct Case {
    int signal_number;
    int number;
    const char* text;
  };
  const Case cases[] = {{SIGTERM, 13, "\"termination request\" signal"}, {SIGINT, 9, "\"interrupted\" signal"}};
  for (const Case& c : cases) {
    for (const int delay_us : {0, 300, 1000, 2000, 5000}) {
      SCOPED_TRACE(std::to_string(c.signal_number) + " after " + std::to_string(delay_us) + " us");
      FaultProbe probe("lumetra", "endless");
      // The probe writes on until it is signalled; a minute is only the
      // limit for a probe that never got going.
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
      while (probe.file_size() <= fault_probe_records().size() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
      }
      ASSERT_GT(probe.file_size(), fault_probe_records().size()) << "the probe never wrote";
      std::this_thread::sleep_for(std::chrono::microseconds(delay_us));
      kill(probe.pid(), c.signal_number);
      const FaultProbeRun run = probe.finish();
      EXPECT_EQ(run.exit_code, c.number);
      EXPECT_EQ(run.standard_error, abort_message(c.number, c.text, " in lumetra::()"));
      const std::size_t records = run.file.size() / fault_probe_records(1).size();
      EXPECT_EQ(run.file, fault_probe_records(records));
    }
  }
}

// Numbers outside the handler table are left alone, whoever asks.
TEST(Signals, NumbersOutsideTheTableAreLeftAlone) {
  for (const int number : {-1, 0, signal_count, signal_count + 100}) {
    install_signal_handler(number, [](int, SignalSource) {});
  }
}

}  // namespace
}  // namespace lumetra
