// The system calls under the buffered stream (crt_stream.h), one
// implementation per system. Every call returns 0 or an errno value (a
// system whose errors are not errno values translates them to the nearest
// one) and repeats itself when a signal interrupts it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "system/file_identity.h"

namespace lumetra {

// An open file: a POSIX descriptor, or a Windows handle value (Windows keeps
// handles within 32 bits so that they can be passed as such); -1 is none.
using SystemFile = int;
inline constexpr SystemFile no_system_file = -1;

struct OpenFlags {
  bool read = false;
  bool write = false;
  bool create = false;  // a missing file is created (permissions 0666 less the umask)
  // An existing file is emptied. A regular file that is emptied or appended
  // to is first locked for writing, for as long as it stays open and the
  // process lives: one that another open file (of this or another process),
  // or another process on the same open file, holds so is refused with
  // EBUSY, untouched.
  bool truncate = false;
  bool append = false;  // every write goes to the end of the file
};

// Opens path (UTF-8, either "/" or "\" between folders on Windows) and
// tells which file it is. A directory is refused with EISDIR. On POSIX the
// names of descriptors (/dev/stdin, /dev/stdout, /dev/stderr, /dev/fd/N)
// open the descriptor's own open file, at the position where it stands,
// without creating it; one not open for the access asked for is refused
// with EBADF.
[[nodiscard]] int system_open(const char* path, OpenFlags flags, SystemFile& file, FileIdentity& identity) noexcept;
// Reads up to size bytes; got 0 at the end of the file. A non-blocking file
// with nothing to read yet is waited for, until system_stop_blocking.
[[nodiscard]] int system_read(SystemFile file, void* buffer, std::size_t size, std::size_t& got) noexcept;
// Writes up to size bytes; put may be short, and 0 when the system took
// nothing without naming an error. A non-blocking file without room yet is
// waited for, until system_stop_blocking. A socket is written whole (short
// only on a failure) and keeps no part of a line when a signal ends the
// process while the write waits for room: system_stop_blocking finishes the
// line first, waiting until the deadline at most.
[[nodiscard]] int system_write(SystemFile file, const void* bytes, std::size_t size, std::size_t& put) noexcept;
// The most bytes a write to the file takes whole or not at all: PIPE_BUF for
// a pipe, so that a signal never cuts what such a write carries; 0 for other
// files, whose writes may be cut anywhere.
[[nodiscard]] std::size_t system_atomic_write_size(SystemFile file) noexcept;
// Moves to offset from the start (or from the end) and reports the position.
[[nodiscard]] int system_seek(SystemFile file, std::int64_t offset, bool from_end, std::int64_t& position) noexcept;
// The position the next read or write takes place at; an error for a pipe or
// a device.
[[nodiscard]] int system_position(SystemFile file, std::int64_t& position) noexcept;
[[nodiscard]] int system_length(SystemFile file, std::int64_t& length) noexcept;
// True for a regular file: one with a length, that can be opened again.
[[nodiscard]] bool system_is_regular(SystemFile file) noexcept;
// Cuts the file to `length` bytes.
[[nodiscard]] int system_truncate(SystemFile file, std::int64_t length) noexcept;
// From now on a read or write that would wait fails instead, until the file
// is closed (a socket's write still finishes the line it has begun, until
// the deadline). Async-signal-safe.
void system_stop_blocking(SystemFile file) noexcept;

enum class LockKind : std::uint8_t { Shared, Exclusive, Unlock };
// Locks (or unlocks) a byte range without waiting.
[[nodiscard]] int system_lock(SystemFile file, LockKind kind, std::int64_t offset, std::int64_t length) noexcept;
// Closes the file, which ends its lock and the effect of
// system_stop_blocking also where others share it; never repeated, since
// the file is gone after a failed close. Async-signal-safe.
int system_close(SystemFile file) noexcept;

}  // namespace lumetra
