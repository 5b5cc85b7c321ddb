// The processor's class and its floating-point control.
#pragma once

#include <cstdint>

namespace lumetra {

// The processor class: on x86 with the identification instruction, its
// family in bits 28 to 31 (EAX of function 1 shifted left by 20, OR EDX
// without its top four bits); elsewhere the 486 class, 0x40000000.
[[nodiscard]] std::uint32_t identify_processor_class() noexcept;

// Extended (64-bit mantissa) precision and rounding to nearest for the x87
// unit, other fields kept; nothing where the hardware has no such control.
void set_extended_precision_rounding_to_nearest() noexcept;

}  // namespace lumetra
