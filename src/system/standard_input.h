// Reading the standard input stream as bytes, when it is not a console.
#pragma once

#include <cstdint>

namespace lumetra {

// Reads up to count bytes from standard input, waiting for them as a read
// does; returns how many were delivered (fewer only at the end of the input
// or on a failure).
std::int32_t read_standard_input(char* destination, std::int32_t count) noexcept;

}  // namespace lumetra
