// The runtime's top-level exception filter: processor faults become the
// signals whose handlers turn them into runtime errors; every other
// exception goes on to the filter that was in force before.
#include <cstdint>

#include "system/windows/windows_headers.h"
#include "system/windows/windows_internal.h"

namespace lumetra {

namespace {

// Stack kept back for the handler after a stack overflow.
constexpr ULONG guaranteed_stack = 64 * 1024;

LPTOP_LEVEL_EXCEPTION_FILTER previous_filter = nullptr;

int signal_of_exception(DWORD code) noexcept {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_STACK_OVERFLOW: return signal_segmentation;
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW: return signal_floating_point;
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION: return signal_illegal_instruction;
    default: return 0;
  }
}

LONG WINAPI runtime_exception_filter(EXCEPTION_POINTERS* pointers) {
  const int signal_number = signal_of_exception(pointers->ExceptionRecord->ExceptionCode);
  // The handler ends the process; it runs on the faulting thread, as a signal would.
  if (const SignalHandler handler = installed_signal_handler(signal_number))
    handler(signal_number, SignalSource::Inside);
  return previous_filter != nullptr ? previous_filter(pointers) : EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void start_fault_handling() noexcept {
  ULONG size = guaranteed_stack;
  SetThreadStackGuarantee(&size);
  previous_filter = SetUnhandledExceptionFilter(runtime_exception_filter);
}

}  // namespace lumetra
