// Reads and writes on file descriptors, repeated when a signal interrupts
// them, and what kind of file a descriptor is open on.
#pragma once

#include <cstddef>
#include <string_view>

namespace lumetra {

// One write; the count written (possibly short) or -1 with errno set.
std::ptrdiff_t write_once(int fd, const void* bytes, std::size_t size) noexcept;
// Writes everything unless an error stops it; true when all was written.
// Async-signal-safe.
bool write_all(int fd, std::string_view bytes) noexcept;
// One read; the count read, 0 at end of input, or -1 with errno set.
std::ptrdiff_t read_once(int fd, void* buffer, std::size_t size) noexcept;

// True when fd is open on a terminal (a console on Windows).
[[nodiscard]] bool descriptor_is_terminal(int fd) noexcept;

enum class FileKind : unsigned char { Unknown, Regular, Character, Pipe };
// The kind of file fd is open on; Unknown when fd is not open or is none of
// the others (a directory, a socket).
[[nodiscard]] FileKind descriptor_kind(int fd) noexcept;

}  // namespace lumetra
