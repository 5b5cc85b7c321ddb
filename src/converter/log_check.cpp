// Checking a log: the verdict and the counts come from the conversion's own
// reading and record making; the warnings look at the fields of the lines
// that make records.
#include "converter/log_check.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "converter/check_report.h"
#include "converter/record_converter.h"
#include "converter/source_lines.h"
#include "records/field_bytes.h"
#include "records/time_field.h"
#include "runtime/runtime_error.h"
#include "text/text.h"

namespace lumetra {
namespace {

constexpr std::size_t time_length = 6;

bool is_digit(char byte) noexcept { return byte >= '0' && byte <= '9'; }

// A line as loggers write it starts with six digits and the separator.
bool six_digit_start(std::string_view line) noexcept {
  return line.size() > time_length && line[time_length] == ';' &&
         std::all_of(line.begin(), line.begin() + time_length, is_digit);
}

// A time field that is six digits once its blanks are dropped: its parts
// hh, mm and ss do not overlap.
bool six_digit_time(std::string_view field) noexcept {
  std::size_t digits = 0;
  for (const char byte : field) {
    if (byte == ' ') continue;
    if (!is_digit(byte) || ++digits > time_length) return false;
  }
  return digits == time_length;
}

// What a byte of the values is to a number: digits and decimal marks make
// it, a sign may lead it, blanks are dropped and separators end it.
enum class ValueByte : unsigned char { Foreign, Numeral, Blank, Separator, Sign };

constexpr std::array<ValueByte, 256> value_bytes = [] {
  std::array<ValueByte, 256> bytes{};
  for (char digit = '0'; digit <= '9'; ++digit) bytes[static_cast<unsigned char>(digit)] = ValueByte::Numeral;
  bytes['.'] = bytes[','] = ValueByte::Numeral;
  bytes[' '] = ValueByte::Blank;
  bytes[';'] = ValueByte::Separator;
  bytes['+'] = bytes['-'] = ValueByte::Sign;
  return bytes;
}();

// True when every value in the fields after the first holds nothing but
// digits, "." and ",", after one sign at most.
bool numeric_values(std::string_view fields) noexcept {
  bool value_start = true;
  for (const char byte : fields) {
    switch (value_bytes[static_cast<unsigned char>(byte)]) {
      case ValueByte::Numeral: value_start = false; break;
      case ValueByte::Blank: break;
      case ValueByte::Separator: value_start = true; break;
      case ValueByte::Sign:
        if (!value_start) return false;
        value_start = false;
        break;
      case ValueByte::Foreign: return false;
    }
  }
  return true;
}

// 0x80 in every byte of word that plain values are made of: a digit, ".",
// "," or ";".
constexpr std::uint64_t plain_value_bytes(std::uint64_t word) noexcept {
  const std::uint64_t digits = bytes_below(word, '9' + 1) & ~bytes_below(word, '0');
  return digits | bytes_equal(word, '.') | bytes_equal(word, ',') | bytes_equal(word, ';');
}

#if defined(__SSE2__)
// True when the 16 bytes at `at` are all digits, ".", "," or ";".
bool plain_vector(const char* at) noexcept {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  const __m128i above_zero = _mm_sub_epi8(bytes, _mm_set1_epi8('0'));
  const __m128i digits = _mm_cmpeq_epi8(_mm_min_epu8(above_zero, _mm_set1_epi8(9)), above_zero);
  const __m128i marks =
      _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('.')),
                   _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(',')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8(';'))));
  return _mm_movemask_epi8(_mm_or_si128(digits, marks)) == 0xFFFF;
}
#endif

// True when bytes of at least eight hold nothing but digits, ".", "," and
// ";": 16 bytes at a time where the processor has vectors, else eight; the
// last piece may overlap the ones before it. False says nothing:
// numeric_values decides then.
bool plain_bytes(std::string_view bytes) noexcept {
  const char* const end = bytes.data() + bytes.size();
#if defined(__SSE2__)
  if (bytes.size() >= 16) {
    for (const char* at = bytes.data(); end - at > 16; at += 16) {
      if (!plain_vector(at)) return false;
    }
    return plain_vector(end - 16);
  }
#endif
  constexpr std::uint64_t every_byte = 0x8080'8080'8080'8080u;
  if (bytes.size() < 8) return false;
  const auto word_at = [](const char* at) {
    std::uint64_t word = 0;
    std::memcpy(&word, at, 8);
    return word;
  };
  for (const char* at = bytes.data(); end - at > 8; at += 8) {
    if (plain_value_bytes(word_at(at)) != every_byte) return false;
  }
  return plain_value_bytes(word_at(end - 8)) == every_byte;
}

class LogCheck {
 public:
  explicit LogCheck(FileNumber source) noexcept : source_(source), lines_(source) {}

  // Reads the whole source, or up to the line that stops the conversion.
  void read() noexcept;
  [[nodiscard]] const CheckFindings& findings() const noexcept { return findings_; }

 private:
  bool examine(std::string_view line) noexcept;
  void list_line(ListedLines& list, std::string_view line, std::string_view time = {}) const noexcept;
  void stop(std::int32_t error, std::int64_t number, std::string_view start) noexcept;
  void stop_unread(std::int32_t error) noexcept { stop(error, lines_.next_number(), lines_.next_start()); }

  FileNumber source_;
  SourceLines lines_;
  RecordConverter converter_;
  Text current_;
  CheckFindings findings_;
};

void LogCheck::read() noexcept {
  const std::int32_t header = lines_.read_header(current_);
  if (header != 0) {
    stop_unread(header);
  } else {
    const std::int32_t read = lines_.read_data_lines(
        current_, [this](std::string_view line) { return examine(line); }, [] {});
    if (read != 0) stop_unread(read);
  }
  // A read that failed ends the source as it ends the conversion; the
  // close reports it.
  const std::int32_t closed = file_close(source_);
  if (closed != 0 && findings_.error == 0) stop_unread(closed);
  findings_.lines = lines_.next_number() - 1;
  release_text(current_);
}

// The same decisions as convert_line: a line without ";" is skipped, a line
// whose record cannot be made stops the conversion.
bool LogCheck::examine(std::string_view line) noexcept {
  const bool plain_time = six_digit_start(line);
  const std::size_t separator = plain_time ? time_length : line.find(';');
  if (separator == std::string_view::npos) {
    list_line(findings_.skipped, line);
    return true;
  }
  const RecordOutcome outcome = converter_.make_record(line);
  if (outcome.failed_line != 0 || outcome.no_memory) [[unlikely]] {
    stop(error_code(outcome.no_memory ? RuntimeError::OutOfMemory : RuntimeError::OutOfBoundsArrayAccess),
         lines_.number_of(line), line);
    return false;
  }
  ++findings_.records;
  const std::string_view time = line.substr(0, separator);
  if (!plain_time && !six_digit_time(time)) list_line(findings_.times, line, time);
  // Behind six digits and ";" the values are plain exactly when the whole
  // line is, and the whole line is long enough for a vector more often.
  const std::string_view values = line.substr(separator + 1);
  if (!plain_bytes(plain_time ? line : values) && !numeric_values(values)) list_line(findings_.values, line);
  return true;
}

// Counts the line; only the first few are numbered, as the number of a line
// is found by counting the lines before it, and only theirs get the seconds
// of their time field (none for an empty one).
void LogCheck::list_line(ListedLines& list, std::string_view line, std::string_view time) const noexcept {
  if (list.count < static_cast<std::int64_t>(listed_lines))
    list.lines[static_cast<std::size_t>(list.count)] = {lines_.number_of(line), time_field_seconds(time)};
  ++list.count;
}

void LogCheck::stop(std::int32_t error, std::int64_t number, std::string_view start) noexcept {
  findings_.error = error;
  findings_.stop_line = number;
  findings_.stop_start_length = std::min(start.size(), findings_.stop_start.size());
  std::copy_n(start.data(), findings_.stop_start_length, findings_.stop_start.data());
}

}  // namespace

void check_log(FileNumber source) noexcept {
  LogCheck check(source);
  check.read();
  print_check_report(check.findings());
  terminate_with_code(check.findings().error);
}

}  // namespace lumetra
