// Writing integers in base 10.
#pragma once

#include <cstdint>

namespace lumetra {

// "00" to "99" one after the other: the two digits of n are at 2 * n.
inline constexpr char decimal_digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes value in base 10 with a leading "-" when negative, no terminating
// zero; returns the number of bytes written (at most 11).
std::int32_t write_decimal(std::int32_t value, char* out) noexcept;

}  // namespace lumetra
