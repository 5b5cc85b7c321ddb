// The seconds of a time field.
#include "records/time_field.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "records/field_bytes.h"
#include "text/numeric_text.h"

namespace lumetra {
namespace {

// numeric_value of every text of at most two bytes, computed when a text is
// first met: the first field's parts are never longer, and strtod on each of
// them would cost more than the rest of the line. Such a part holds no "."
// (already turned into ","), so its value is a whole number in practice; the
// seconds are then summed as integers, which gives exactly what the rounded
// floating-point steps give.
class PartValues {
 public:
  // All zero until known, so that the table takes no room in the program.
  struct Value {
    double number = 0.0;
    std::int32_t whole = 0;
    bool fractional = false;
    bool known = false;
  };

  const Value& of(const unsigned char* bytes, std::size_t count) noexcept {
    static constexpr Value none{0.0, 0, false, true};
    if (count == 0) return none;
    const std::size_t key = count == 1 ? bytes[0] : 256 + (std::size_t{bytes[0]} << 8 | bytes[1]);
    Value& value = values_[key];
    if (!value.known) [[unlikely]] {
      const char text[3] = {static_cast<char>(bytes[0]), count == 2 ? static_cast<char>(bytes[1]) : '\0', '\0'};
      value.number = numeric_value(text);
      value.whole = static_cast<std::int32_t>(value.number);
      value.fractional = value.whole != value.number;
      value.known = true;
    }
    return value;
  }

 private:
  std::array<Value, 256 + 65536> values_{};
};

PartValues part_values;

// The nearest 32-bit integer, ties to even, of a value formed at extended
// precision.
std::int32_t nearest_integer(long double value) noexcept { return static_cast<std::int32_t>(std::nearbyintl(value)); }

// The seconds from the three parts of a first field: hours * 3600 +
// minutes * 60 + seconds, rounded to an integer after each step.
std::int32_t seconds_from_parts(const PartValues::Value& hours, const PartValues::Value& minutes,
                                const PartValues::Value& rest) noexcept {
  if (!hours.fractional && !minutes.fractional && !rest.fractional) [[likely]] {
    return hours.whole * 3600 + minutes.whole * 60 + rest.whole;
  }
  std::int32_t total = nearest_integer(static_cast<long double>(hours.number) * 3600.0L);
  total = nearest_integer(static_cast<long double>(minutes.number) * 60.0L + total);
  return nearest_integer(static_cast<long double>(rest.number) + total);
}

// The value of up to two bytes of a field from offset on; none beyond it.
const PartValues::Value& part(const unsigned char* field, std::size_t length, std::size_t offset) noexcept {
  if (offset >= length) return part_values.of(nullptr, 0);
  return part_values.of(field + offset, std::min<std::size_t>(length - offset, 2));
}

// The parts of a cleaned first field: its first two bytes, bytes 3 and 4, and
// its last two bytes (all of it when shorter).
std::int32_t seconds_of_clean(const unsigned char* field, std::size_t length) noexcept {
  return seconds_from_parts(part(field, length, 0), part(field, length, 2),
                            part(field, length, length < 2 ? 0 : length - 2));
}

// A first field with blanks or dots: cleaned, keeping only what the parts
// read, its first four bytes and its last two.
std::int32_t seconds_of_unclean(std::string_view field) noexcept {
  unsigned char kept[6];
  std::size_t length = 0;
  for (const char raw : field) {
    const auto byte = static_cast<unsigned char>(raw);
    if (byte_roles[byte] == Dropped) continue;
    const unsigned char stored = byte_roles[byte] == Comma ? ',' : byte;
    if (length < 4) {
      kept[length] = stored;
    } else {
      kept[4] = length == 4 ? kept[3] : kept[5];
      kept[5] = stored;
    }
    ++length;
  }
  if (length <= 4) return seconds_of_clean(kept, length);
  return seconds_from_parts(part_values.of(kept, 2), part_values.of(kept + 2, 2), part_values.of(kept + 4, 2));
}

bool all_digits(std::string_view field) noexcept {
  bool digits = true;
  for (const char byte : field) digits &= static_cast<unsigned char>(byte - '0') < 10;
  return digits;
}

}  // namespace

std::int32_t time_field_seconds(std::string_view field) noexcept {
  // The usual field, six digits hhmmss: each part's value is its two digits.
  if (field.size() == 6 && all_digits(field)) [[likely]] {
    const auto two_digits = [&](std::size_t at) { return (field[at] - '0') * 10 + (field[at + 1] - '0'); };
    return two_digits(0) * 3600 + two_digits(2) * 60 + two_digits(4);
  }
  bool clean = true;
  for (const char byte : field) clean &= role_of(byte) == Copied;
  if (clean) [[likely]]
    return seconds_of_clean(reinterpret_cast<const unsigned char*>(field.data()), field.size());
  return seconds_of_unclean(field);
}

}  // namespace lumetra
