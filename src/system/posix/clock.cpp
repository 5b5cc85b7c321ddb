// Monotonic time and sleeping over the POSIX clock.
#include "system/clock.h"

#include <time.h>

#include <cerrno>

#include "system/posix/posix_internal.h"

namespace lumetra {

std::uint64_t monotonic_ms() noexcept {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000 + static_cast<std::uint64_t>(now.tv_nsec) / 1'000'000;
}

void sleep_ms(std::uint32_t milliseconds) noexcept {
  // An absolute deadline, so that a signal in between does not stretch the wait.
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += milliseconds / 1000;
  deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1'000'000;
  if (deadline.tv_nsec >= 1'000'000'000) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1'000'000'000;
  }
  // clock_nanosleep gives its error as its result, not in errno.
  (void)retry_on_interrupt([&] {
    const int error = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
    if (error != 0) errno = error;
    return error != 0 ? -1 : 0;
  });
}

}  // namespace lumetra
