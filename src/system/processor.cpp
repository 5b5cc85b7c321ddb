// Processor identification and floating-point control.
#include "system/processor.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace lumetra {
namespace {

#if defined(__i386__)
// Flips the flags-register bits of mask, reads them back and restores the
// register; true when the bits changed. A 32-bit stack has no red zone that
// the pushes could overwrite, and it stays 4-byte aligned, so setting the
// alignment-check flag cannot fault.
bool flag_toggles(std::uint32_t mask) noexcept {
  std::uint32_t before = 0;
  std::uint32_t after = 0;
  __asm__ volatile(
      "pushfl\n\t"
      "popl %0\n\t"
      "movl %0, %1\n\t"
      "xorl %2, %1\n\t"
      "pushl %1\n\t"
      "popfl\n\t"
      "pushfl\n\t"
      "popl %1\n\t"
      "pushl %0\n\t"
      "popfl\n\t"
      : "=&r"(before), "=&r"(after)
      : "r"(mask)
      : "cc", "memory");
  return ((before ^ after) & mask) != 0;
}
#endif

#if defined(__x86_64__) || defined(__i386__)
void identify(ProcessorProbe& probe) noexcept {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  __cpuid(1, eax, ebx, ecx, edx);
  probe.eax = eax;
  probe.edx = edx;
}
#endif

}  // namespace

// A 64-bit x86 processor always has the identification instruction; there
// the flags are not toggled at all, as pushes inside inline assembly would
// overwrite the red zone below the stack pointer, where the compiler may
// keep values.
ProcessorProbe probe_processor() noexcept {
  ProcessorProbe probe;
#if defined(__x86_64__)
  probe.identification_flag_toggles = true;
  identify(probe);
#elif defined(__i386__)
  probe.identification_flag_toggles = flag_toggles(0x200000);
  if (probe.identification_flag_toggles) {
    identify(probe);
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
