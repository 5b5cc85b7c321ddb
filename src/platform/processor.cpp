// Processor identification and floating-point control.
#include "platform/processor.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace lumetra {
namespace {

#if defined(__x86_64__)
// Flips the flags-register bits of mask, reads them back and restores the
// register; true when the bits changed. The stack stays 8-byte aligned, so
// setting the alignment-check flag cannot fault.
bool flag_toggles(std::uint64_t mask) noexcept {
  std::uint64_t before = 0;
  std::uint64_t after = 0;
  __asm__ volatile(
      "pushfq\n\t"
      "popq %0\n\t"
      "movq %0, %1\n\t"
      "xorq %2, %1\n\t"
      "pushq %1\n\t"
      "popfq\n\t"
      "pushfq\n\t"
      "popq %1\n\t"
      "pushq %0\n\t"
      "popfq\n\t"
      : "=&r"(before), "=&r"(after)
      : "r"(mask)
      : "cc", "memory");
  return ((before ^ after) & mask) != 0;
}
#endif

}  // namespace

ProcessorProbe probe_processor() noexcept {
  ProcessorProbe probe;
#if defined(__x86_64__)
  probe.identification_flag_toggles = flag_toggles(0x200000);
  if (probe.identification_flag_toggles) {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid(1, eax, ebx, ecx, edx);
    probe.eax = eax;
    probe.edx = edx;
  } else {
    probe.alignment_check_flag_toggles = flag_toggles(0x40000);
  }
#else
  probe.alignment_check_flag_toggles = true;
#endif
  return probe;
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
