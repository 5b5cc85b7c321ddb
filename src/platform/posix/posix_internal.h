// Shared by the POSIX units: which standard descriptors were closed when the
// program started.
#pragma once

namespace lumetra {

// True when standard input (0), output (1) or error (2) was closed at start
// and holds /dev/null since open_closed_standard_descriptors.
[[nodiscard]] bool standard_descriptor_was_closed(int fd) noexcept;

}  // namespace lumetra
