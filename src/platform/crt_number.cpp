// Locale-independent number conversions.
#include "platform/crt_number.h"

#include <locale.h>

#include <cstdlib>
#include <cstring>

namespace lumetra {

double strtod_c_locale(const char* text) noexcept {
  // One "C" locale object for the life of the process; the program's own
  // locale (set for the terminal's character set) never reaches strtod.
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t{});
  return strtod_l(text, nullptr, c_locale);
}

std::int32_t write_decimal(std::int32_t value, char* out) noexcept {
  // Two digits per division: division is slow, and the converter writes a
  // number for every record.
  static constexpr char digit_pairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  // Work on the magnitude as unsigned so that the smallest value has one.
  std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  char digits[10];
  char* first = digits + sizeof digits;
  while (magnitude >= 100) {
    first -= 2;
    std::memcpy(first, digit_pairs + magnitude % 100 * 2, 2);
    magnitude /= 100;
  }
  if (magnitude >= 10) {
    first -= 2;
    std::memcpy(first, digit_pairs + magnitude * 2, 2);
  } else {
    *--first = static_cast<char>('0' + magnitude);
  }
  std::int32_t length = 0;
  if (value < 0) out[length++] = '-';
  const auto count = static_cast<std::int32_t>(digits + sizeof digits - first);
  std::memcpy(out + length, first, static_cast<std::size_t>(count));
  return length + count;
}

}  // namespace lumetra
