// The processor's identification and its floating-point control.
#pragma once

#include <cstdint>

namespace lumetra {

// What the processor answers to the class tests: whether the identification
// flag (bit 21 of the flags register) and the alignment-check flag (bit 18)
// can be toggled, and EAX and EDX of identification function 1.
struct ProcessorProbe {
  bool identification_flag_toggles = false;
  bool alignment_check_flag_toggles = false;
  std::uint32_t eax = 0;
  std::uint32_t edx = 0;
};

// Runs the tests on this processor. Where the flags register does not exist
// (not x86), the answers are those of a 486-class processor.
[[nodiscard]] ProcessorProbe probe_processor() noexcept;

// Extended (64-bit mantissa) precision and rounding to nearest for the x87
// unit, other fields kept; nothing where the hardware has no such control.
void set_extended_precision_rounding_to_nearest() noexcept;

}  // namespace lumetra
