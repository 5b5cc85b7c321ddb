// Shared by the POSIX units: the one loop that repeats an interrupted call,
// which standard descriptors were closed when the program started, which
// file a descriptor is, whether the deadline has come, and what the reads
// and writes of a descriptor must know of it.
#pragma once

#include <sys/stat.h>

#include <cerrno>

#include "system/file_identity.h"

namespace lumetra {

// Repeats a system call that a signal interrupted (-1 with EINTR) and
// returns its last result, errno set as the call left it. Never used for
// close(): the descriptor is gone after an interrupted close on Linux.
// Async-signal-safe.
template <typename Call>
auto retry_on_interrupt(Call call) noexcept {
  auto result = call();
  while (result == -1 && errno == EINTR) result = call();
  return result;
}

// True when standard input (0), output (1) or error (2) was closed at start
// and holds /dev/null since open_closed_standard_descriptors.
[[nodiscard]] bool standard_descriptor_was_closed(int fd) noexcept;

// The identity of the file open on fd, whose fstat information is given
// (fd -1: of the file that information describes).
[[nodiscard]] FileIdentity identity_of(int fd, const struct stat& info) noexcept;
// The identity of the file open on fd; 0 or the errno value.
[[nodiscard]] int descriptor_identity(int fd, FileIdentity& identity) noexcept;

// True once the time set with arm_deadline has run out (its handler has been
// called): nothing may wait any longer. Async-signal-safe.
[[nodiscard]] bool deadline_passed() noexcept;

// The stream opened the descriptor: a socket gets its lines written whole.
void note_open_descriptor(int fd, bool socket) noexcept;
// The stream closes the descriptor: a descriptor that system_stop_blocking
// made non-blocking becomes blocking again, for the others who share its
// open file. Async-signal-safe.
void forget_descriptor(int fd) noexcept;

}  // namespace lumetra
