// Monotonic time and sleeping over the Windows clock.
#include "system/clock.h"

#include "system/windows/windows_headers.h"

namespace lumetra {

std::uint64_t monotonic_ms() noexcept { return ::GetTickCount64(); }

void sleep_ms(std::uint32_t milliseconds) noexcept { ::Sleep(milliseconds); }

}  // namespace lumetra
