// Processor identification and floating-point control.
#include "platform/processor.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace lumetra {

std::uint32_t identify_processor_class() noexcept {
#if defined(__x86_64__) || defined(__i386__)
  // Every x86-64 processor has the identification instruction.
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return (eax << 20) | (edx & 0x0FFF'FFFFu);
#endif
  return 0x4000'0000u;
}

void set_extended_precision_rounding_to_nearest() noexcept {
#if defined(__x86_64__) || defined(__i386__)
  // Precision control (bits 8-9) = 11 (64-bit mantissa), rounding control
  // (bits 10-11) = 00 (to nearest); the exception masks stay.
  unsigned short control = 0;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  control = static_cast<unsigned short>((control & ~0x0F00u) | 0x0300u);
  __asm__ volatile("fldcw %0" : : "m"(control));
#endif
}

}  // namespace lumetra
