// Shared by the POSIX units: which standard descriptors were closed when the
// program started, and which file a descriptor is.
#pragma once

#include <sys/stat.h>

#include "platform/crt_stream.h"

namespace lumetra {

// True when standard input (0), output (1) or error (2) was closed at start
// and holds /dev/null since open_closed_standard_descriptors.
[[nodiscard]] bool standard_descriptor_was_closed(int fd) noexcept;

// The identity of the file open on fd, whose fstat information is given
// (fd -1: of the file that information describes).
[[nodiscard]] FileIdentity identity_of(int fd, const struct stat& info) noexcept;
// The identity of the file open on fd; 0 or the errno value.
[[nodiscard]] int descriptor_identity(int fd, FileIdentity& identity) noexcept;

}  // namespace lumetra
