// The C locale's strtod through a locale object of its own.
#include "system/c_locale.h"

#include <locale.h>
#include <stdlib.h>

namespace lumetra {

// One "C" locale object for the life of the process; the program's own
// locale (set for the terminal's character set) never reaches strtod.
double strtod_c_locale(const char* text) noexcept {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", locale_t{});
  return strtod_l(text, nullptr, c_locale);
}

}  // namespace lumetra
