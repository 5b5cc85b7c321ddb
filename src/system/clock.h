// The clock: a monotonic millisecond count, and sleeping that resumes
// after a signal until the whole time has passed.
#pragma once

#include <cstdint>

namespace lumetra {

[[nodiscard]] std::uint64_t monotonic_ms() noexcept;
void sleep_ms(std::uint32_t milliseconds) noexcept;

}  // namespace lumetra
