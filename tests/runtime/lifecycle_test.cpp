// Start-up and shutdown: the processor class from the processor's answers and
// the decision it drives, and the exit step that closes the files and writes
// the pending message only at the last decrement of the initialisation count.
#include "runtime/lifecycle.h"

#include <gtest/gtest.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <cstdint>
#include <string>

#include "fault_probe_runner.h"
#include "system/processor.h"

namespace lumetra {
namespace {

ProcessorProbe with_identification(std::uint32_t eax, std::uint32_t edx) {
  return {.identification_flag_toggles = true, .alignment_check_flag_toggles = false, .eax = eax, .edx = edx};
}

TEST(Lifecycle, ProcessorClassAndTheDecision) {
  struct Case {
    const char* name;
    ProcessorProbe probe;
    std::uint32_t expected_class;
    bool too_old;
  };
  const Case cases[] = {
      // EDX's top four bits never reach the family.
      {"family 4", with_identification(0x0000'0480, 0xF000'0001), 0x4800'0001, false},
      {"family 5", with_identification(0x0000'0543, 0x0183'FBFF), 0x55B3'FBFF, false},
      // The extended model bits (16 to 19) are shifted out of the 32 bits.
      {"family 6", with_identification(0x0009'06EA, 0xBFEB'FBFF), 0x6FEB'FBFF, false},
      {"family 15", with_identification(0x0002'0F29, 0x0000'0001), 0xF290'0001, false},
      {"alignment flag only",
       {.alignment_check_flag_toggles = true, .eax = 0x0F00, .edx = 0xFFFF'FFFF},
       0x4000'0000,
       false},
      {"neither flag", {.eax = 0x0F00, .edx = 0xFFFF'FFFF}, 0x3000'0000, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::uint32_t processor_class = classify_processor(c.probe);
    EXPECT_EQ(processor_class, c.expected_class);
    EXPECT_EQ(processor_too_old(processor_class), c.too_old);
  }
}

TEST(Lifecycle, TooOldIsBelowTheFamilyFourBoundary) {
  EXPECT_TRUE(processor_too_old(0x0000'0000));
  EXPECT_TRUE(processor_too_old(0x3FFF'FFFF));
  EXPECT_FALSE(processor_too_old(0x4000'0000));
  EXPECT_FALSE(processor_too_old(0xF000'0000));  // unsigned: family 15 is not negative
}

// The class of this processor comes from its own identification: on x86 the
// answers the instruction gives when asked directly, elsewhere a 486's.
TEST(Lifecycle, ThisProcessorIsClassifiedByItsIdentification) {
  const ProcessorProbe probe = probe_processor();
#if defined(__x86_64__) || defined(__i386__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  ASSERT_TRUE(__get_cpuid(1, &eax, &ebx, &ecx, &edx));
  EXPECT_TRUE(probe.identification_flag_toggles);
  EXPECT_EQ(probe.eax, eax);
  EXPECT_EQ(probe.edx, edx);
#else
  EXPECT_FALSE(probe.identification_flag_toggles);
  EXPECT_TRUE(probe.alignment_check_flag_toggles);
#endif
  EXPECT_EQ(processor_class(), classify_processor(probe));
}

// After a second runtime_initialise, the inner exit step only counts down:
// the file is still not on disk after it, and the message comes only from the
// outer step, once, with the module name the second initialisation kept.
TEST(Lifecycle, SecondInitialisationLeavesTheWorkToTheLastExitStep) {
  const FaultProbeRun run = run_fault_probe("lumetra", "twice");
  EXPECT_EQ(run.exit_code, 6);
  EXPECT_EQ(run.standard_error,
            "before the inner exit step: incomplete\n"
            "between the exit steps: incomplete\n"
            "\r\nAborting due to runtime error 6 (out of bounds array access) in lumetra::()\r\n\r\n");
  EXPECT_EQ(run.file, fault_probe_records());
}

TEST(Lifecycle, NormalEndClosesTheFilesWithoutMessage) {
  const FaultProbeRun run = run_fault_probe("lumetra", "end");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.standard_error, "");
  EXPECT_EQ(run.file, fault_probe_records());
}

}  // namespace
}  // namespace lumetra
