// Reading numbers as the C locale writes them, whatever locale the process
// has set.
#pragma once

namespace lumetra {

// strtod in the "C" locale: "." is the only decimal mark and only the C
// locale's white space is skipped; hexadecimal forms, infinities and NaNs
// are read as the C library reads them.
[[nodiscard]] double strtod_c_locale(const char* text) noexcept;

}  // namespace lumetra
