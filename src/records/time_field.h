// The seconds of a source line's first field, a time of day hhmmss.
#pragma once

#include <cstdint>
#include <string_view>

namespace lumetra {

// The field as it stands in the line: blanks are dropped and "." becomes ","
// first. Hours come from its first two bytes, minutes from bytes 3 and 4,
// seconds from its last two bytes (shorter fields give shorter or empty
// parts, which may overlap); each part is read by numeric_value and the sum
// hours * 3600 + minutes * 60 + seconds is rounded to the nearest integer,
// ties to even, after every step.
[[nodiscard]] std::int32_t time_field_seconds(std::string_view field) noexcept;

}  // namespace lumetra
