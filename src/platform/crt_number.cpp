// Locale-independent number conversions.
#include "platform/crt_number.h"

#include <locale.h>

#include <cstdlib>

namespace lumetra {

double strtod_c_locale(const char* text) noexcept {
  // One "C" locale object for the life of the process; the program's own
  // locale (set for the terminal's character set) never reaches strtod.
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t{});
  return strtod_l(text, nullptr, c_locale);
}

std::int32_t write_decimal(std::int32_t value, char* out) noexcept {
  // Work on the magnitude as unsigned so that the smallest value has one.
  std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  char digits[10];
  std::int32_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::int32_t length = 0;
  if (value < 0) out[length++] = '-';
  while (count > 0) out[length++] = digits[--count];
  return length;
}

}  // namespace lumetra
