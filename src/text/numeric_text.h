// Conversions between texts and numbers: reading a number from the front of
// a text, and writing an integer as decimal text.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace lumetra {

// The number at the front of the text: leading 0x20 bytes skipped; "&H",
// "&O" and "&B" read hexadecimal, octal and binary digits as a signed 64-bit
// value; otherwise decimal by strtod in the C locale, with "d" and "D" read
// as exponent letters. 0.0 for an absent or empty text or one without a
// number. Consumes a temporary argument.
[[nodiscard]] double numeric_value(TextArg text) noexcept;

// The value of the leading digits of base 2, 8 or 16 among count bytes,
// wrapping modulo 2^64 and read as signed; 0 when there are none.
[[nodiscard]] std::int64_t parse_radix_digits(const char* bytes, std::int32_t count, std::int32_t base) noexcept;

// A new temporary with the decimal text of value ("-" when negative, no
// blank), 64 bits wide, so that a count of anything in a file fits; the
// shared empty text when no temporary can be had.
[[nodiscard]] TempText integer_to_text(std::int64_t value) noexcept;

}  // namespace lumetra
