// Number reading and writing of the C runtime, independent of the locale.
#pragma once

#include <cstdint>

namespace lumetra {

// strtod in the "C" locale, whatever locale the process has set: "." is the
// only decimal mark and only the C locale's white space is skipped.
[[nodiscard]] double strtod_c_locale(const char* text) noexcept;

// Writes value in base 10 with a leading "-" when negative, no terminating
// zero; returns the number of bytes written (at most 11).
std::int32_t write_decimal(std::int32_t value, char* out) noexcept;

}  // namespace lumetra
