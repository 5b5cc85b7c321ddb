// Numeric text conversion.
#include "text/numeric_text.h"

#include <charconv>
#include <cstring>

#include "system/c_locale.h"
#include "system/memory.h"

namespace lumetra {
namespace {

std::int32_t radix_digit(char byte, std::int32_t base) noexcept {
  std::int32_t digit = 99;
  if (byte >= '0' && byte <= '9')
    digit = byte - '0';
  else if (byte >= 'a' && byte <= 'f')
    digit = byte - 'a' + 10;
  else if (byte >= 'A' && byte <= 'F')
    digit = byte - 'A' + 10;
  return digit < base ? digit : -1;
}

std::int32_t radix_base(char selector) noexcept {
  switch (selector) {
    case 'B':
    case 'b': return 2;
    case 'O':
    case 'o': return 8;
    case 'H':
    case 'h': return 16;
    default: return 0;
  }
}

// strtod over a zero-terminated copy with "d"/"D" turned into "e"/"E".
double decimal_value(std::string_view bytes) noexcept {
  char small[64];
  char* copy = bytes.size() < sizeof small ? small : static_cast<char*>(memory_allocate(bytes.size() + 1));
  if (copy == nullptr) return 0.0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char byte = bytes[i];
    copy[i] = byte == 'd' ? 'e' : byte == 'D' ? 'E' : byte;
  }
  copy[bytes.size()] = '\0';
  const double value = strtod_c_locale(copy);
  if (copy != small) memory_free(copy);
  return value;
}

}  // namespace

std::int64_t parse_radix_digits(const char* bytes, std::int32_t count, std::int32_t base) noexcept {
  std::uint64_t value = 0;
  for (std::int32_t i = 0; i < count; ++i) {
    const std::int32_t digit = radix_digit(bytes[i], base);
    if (digit < 0) break;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
  }
  return static_cast<std::int64_t>(value);
}

double numeric_value(TextArg text) noexcept {
  std::string_view bytes = text.view();
  const std::size_t first = bytes.find_first_not_of(' ');
  if (first == std::string_view::npos) return 0.0;
  bytes.remove_prefix(first);
  if (bytes.size() >= 2 && bytes[0] == '&') {
    if (const std::int32_t base = radix_base(bytes[1])) {
      const auto count = static_cast<std::int32_t>(bytes.size() - 2);
      return static_cast<double>(parse_radix_digits(bytes.data() + 2, count, base));
    }
  }
  return decimal_value(bytes);
}

TempText integer_to_text(std::int64_t value) noexcept {
  constexpr std::uint32_t longest = 20;  // "-9223372036854775808"
  TextDescriptor* descriptor = take_pool_descriptor();
  if (descriptor == nullptr) return {};
  TempText result(descriptor);
  if (!reserve_text_plain(*descriptor, longest)) return {};
  const auto length = static_cast<std::uint32_t>(
      std::to_chars(descriptor->data, descriptor->data + longest, value).ptr - descriptor->data);
  descriptor->data[length] = '\0';
  descriptor->length = length | text_temporary_flag;
  return result;
}

}  // namespace lumetra
