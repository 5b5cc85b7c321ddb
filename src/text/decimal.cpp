// Decimal writing, two digits at a time.
#include "text/decimal.h"

namespace lumetra {
namespace {

std::int32_t decimal_digits(std::uint32_t value) noexcept {
  std::int32_t digits = 1;
  for (std::uint32_t limit = 10; digits < 10 && value >= limit; limit *= 10) ++digits;
  return digits;
}

}  // namespace

std::int32_t write_decimal(std::int32_t value, char* out) noexcept {
  // Two digits per division, written from the end backwards straight into
  // the output: division is slow, and the converter writes a number for
  // every record.
  // Work on the magnitude as unsigned so that the smallest value has one.
  std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  const std::int32_t length = (value < 0 ? 1 : 0) + decimal_digits(magnitude);
  if (value < 0) out[0] = '-';
  char* last = out + length;
  while (magnitude >= 100) {
    const std::uint32_t pair = magnitude % 100 * 2;
    *--last = decimal_digit_pairs[pair + 1];
    *--last = decimal_digit_pairs[pair];
    magnitude /= 100;
  }
  if (magnitude >= 10) {
    *--last = decimal_digit_pairs[magnitude * 2 + 1];
    *--last = decimal_digit_pairs[magnitude * 2];
  } else {
    *--last = static_cast<char>('0' + magnitude);
  }
  return length;
}

}  // namespace lumetra
