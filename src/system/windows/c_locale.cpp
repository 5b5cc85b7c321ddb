// The C locale's strtod on Windows.
#include "system/c_locale.h"

#include <stdlib.h>

namespace lumetra {

// The program never sets a locale on Windows. The C99 strtod of the
// runtime's own library, as the C library's reads hexadecimal forms,
// infinities and NaNs too.
double strtod_c_locale(const char* text) noexcept { return __mingw_strtod(text, nullptr); }

}  // namespace lumetra
