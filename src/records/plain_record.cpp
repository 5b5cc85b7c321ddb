// Records of plain lines. A plain line's record is its bytes from the first
// ";" on, with "." turned into ",", between a head and a tail: the line is
// converted 16 bytes at a time with SSE2 (always there on x86-64), its
// separators and blanks found in the same pass. Other processors take the
// general conversion for every line.
#include "records/plain_record.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>

#include <array>

#include "text/decimal.h"
#endif

namespace lumetra {

#if defined(__SSE2__)
namespace {

constexpr std::size_t vector_size = 16;
constexpr std::size_t shortest_line = vector_size;
static_assert(longest_plain_line <= 64, "the marks of every byte fit one 64-bit word");
constexpr std::size_t time_length = 6;

// "$1;1;" as the low five bytes of a word.
constexpr std::uint64_t head_word = 0x3B'31'3B'31'24;
// The tail after the last field present: the missing separators, ";0" and
// the line end, indexed by the number of missing fields.
constexpr char tail_words[3][8] = {";0\r\n", ";;0\r\n", ";;;0\r\n"};
// A head of at least eight bytes: "$1;1;" and three digits or more.
constexpr std::int32_t shortest_seconds = 100;

// The seconds of a line that starts with six digits hhmmss and ";", read as
// one word; -1 for any other start. Every two digits d1 d2 become
// 10 * d1 + d2 in d1's byte at once.
std::int32_t six_digit_seconds(const char* line) noexcept {
  std::uint64_t word = 0;
  std::memcpy(&word, line, 8);
  const std::uint64_t digits = word & 0xFFFF'FFFF'FFFF;
  // A byte above "9" gets its top bit by adding 0x46, one below "0" by
  // taking 0x30; the lowest byte that is no digit always shows (what a carry
  // or a borrow does to the bytes above it does not matter then).
  const bool six_digits = (((digits + 0x4646'4646'4646) | (digits - 0x3030'3030'3030)) & 0x8080'8080'8080) == 0;
  if (!six_digits || (word >> 48 & 0xFF) != ';') return -1;
  const std::uint64_t values = digits & 0x0F0F'0F0F'0F0F;
  const std::uint64_t pairs = (values * 10 + (values >> 8)) & 0x00FF'00FF'00FF;
  return static_cast<std::int32_t>((pairs & 0xFF) * 3600 + (pairs >> 16 & 0xFF) * 60 + (pairs >> 32));
}

// The four decimal digits of every number below 10,000, the first in the
// lowest byte: the seconds' digits by one division and two lookups.
constexpr auto four_digits = [] {
  std::array<std::uint32_t, 10000> digits{};
  for (std::uint32_t n = 0; n < digits.size(); ++n) {
    digits[n] = (n / 1000 + 0x30) | (n / 100 % 10 + 0x30) << 8 | (n / 10 % 10 + 0x30) << 16 | (n % 10 + 0x30) << 24;
  }
  return digits;
}();

// The decimal digits of a value below 1,000,000 without leading zeros, the
// first in the lowest byte, and their count: the leading "0" bytes are
// shifted out, found as the lowest non-zero digit value (the last digit
// always counts).
std::uint64_t decimal_bytes(std::uint32_t value, std::size_t& count) noexcept {
  std::uint16_t high = 0;
  std::memcpy(&high, decimal_digit_pairs + 2 * (value / 10000), 2);
  const std::uint64_t digits = high | std::uint64_t{four_digits[value % 10000]} << 16;
  const std::uint64_t values = (digits & 0x0F0F'0F0F'0F0F) | std::uint64_t{1} << 40;
  const auto leading_zeros = static_cast<std::size_t>(__builtin_ctzll(values)) / 8;
  count = 6 - leading_zeros;
  return digits >> (8 * leading_zeros);
}

struct Marks {
  std::uint64_t separators = 0;
  std::uint64_t blanks = 0;
};

// The 16 bytes at line + offset to out + offset, each "." (0x2E) turned into
// "," (0x2C) by taking 2 from it; their separators and blanks noted.
void convert_vector(const char* line, char* out, std::size_t offset, Marks& marks) noexcept {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + offset));
  const __m128i dots = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('.'));
  const __m128i converted = _mm_sub_epi8(bytes, _mm_and_si128(dots, _mm_set1_epi8(2)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + offset), converted);
  const auto mark = [&](char byte) {
    const int found = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(byte)));
    return static_cast<std::uint64_t>(static_cast<unsigned>(found)) << offset;
  };
  marks.separators |= mark(';');
  marks.blanks |= mark(' ');
}

// The whole line, vector by vector; the last vector ends at the line's end
// and may overlap the one before it, whose bytes it writes again unchanged.
Marks convert_line_bytes(const char* line, std::size_t length, char* out) noexcept {
  Marks marks;
  for (std::size_t offset = 0; offset + vector_size < length; offset += vector_size)
    convert_vector(line, out, offset, marks);
  convert_vector(line, out, length - vector_size, marks);
  return marks;
}

// The fields after the first: 1 to 3 when the separators leave at most four
// fields, else 0. The first separator is the one after the time.
std::size_t later_fields(std::uint64_t separators) noexcept {
  const std::uint64_t after_first = separators & (separators - 1);
  const std::uint64_t after_second = after_first & (after_first - 1);
  if ((after_second & (after_second - 1)) != 0) return 0;
  return 1 + std::size_t{after_first != 0} + std::size_t{after_second != 0};
}

// Puts the head, "$1;1;" and the seconds' digits, over the first length
// bytes of out (at least eight) by two stores of eight bytes: the first and
// the last eight bytes of the head. The bytes behind the head stay as they
// are: no bytes are read back from out, which right after the unaligned
// stores of the line would wait for them to complete.
void write_head(char* out, std::uint64_t digits, std::size_t length) noexcept {
  const std::uint64_t low = head_word | digits << 40;
  const std::uint64_t high = digits >> 24;
  const auto shift = static_cast<unsigned>(8 * (length - 8));
  const std::uint64_t last = low >> shift | (high << 1) << (63 - shift);
  std::memcpy(out, &low, 8);
  std::memcpy(out + length - 8, &last, 8);
}

}  // namespace

std::size_t make_plain_record(std::string_view line, char* out) noexcept {
  if (line.size() < shortest_line || line.size() > longest_plain_line) return 0;
  const std::int32_t seconds = six_digit_seconds(line.data());
  if (seconds < shortest_seconds) return 0;
  std::size_t digit_count = 0;
  const std::uint64_t digits = decimal_bytes(static_cast<std::uint32_t>(seconds), digit_count);
  // The line goes where its first separator follows the head and the digits;
  // the time's six bytes before it are then covered by them.
  const std::size_t head_length = 5 + digit_count;
  char* const fields = out + head_length - time_length;
  const Marks marks = convert_line_bytes(line.data(), line.size(), fields);
  const std::size_t field_count = 1 + later_fields(marks.separators);
  if (marks.blanks != 0 || field_count == 1) return 0;
  write_head(out, digits, head_length);
  const std::size_t missing = 4 - field_count;
  std::memcpy(fields + line.size(), tail_words[missing], 8);
  return head_length - time_length + line.size() + missing + 4;
}

#else

std::size_t make_plain_record(std::string_view, char*) noexcept { return 0; }

#endif

}  // namespace lumetra
