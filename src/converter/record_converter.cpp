// Record conversion. The conversion walks the line's bytes once and builds
// the whole record in a reused buffer, which goes to the target in one write:
// the conversion loop runs once per line of logs that may be very large.
#include "converter/record_converter.h"

#include <array>
#include <cmath>
#include <cstring>

#include "files/file_slots.h"
#include "files/print_output.h"
#include "platform/crt_number.h"
#include "runtime/runtime_error.h"
#include "runtime/signals.h"
#include "text/numeric_text.h"

namespace lumetra {
namespace {

constexpr std::string_view record_head = "$1;1;";
constexpr std::string_view record_tail = ";0\r\n";
constexpr const char* module_name = "lumetra";
constexpr FileNumber target_file = 2;

// numeric_value of every text of at most two bytes, computed when a text is
// first met: the first field's parts are never longer, and strtod on each of
// them would cost more than the rest of the line. Such a part holds no "."
// (already turned into ","), so its value is a whole number in practice; the
// seconds are then summed as integers, which gives exactly what the rounded
// floating-point steps give.
class PartValues {
 public:
  struct Value {
    double number = 0.0;
    std::int32_t whole = 0;
    bool is_whole = true;
    bool known = false;
  };

  const Value& of(const unsigned char* bytes, std::size_t count) noexcept {
    static constexpr Value none{0.0, 0, true, true};
    if (count == 0) return none;
    const std::size_t key = count == 1 ? bytes[0] : 256 + (std::size_t{bytes[0]} << 8 | bytes[1]);
    Value& value = values_[key];
    if (!value.known) [[unlikely]] {
      const char text[3] = {static_cast<char>(bytes[0]), count == 2 ? static_cast<char>(bytes[1]) : '\0', '\0'};
      value.number = numeric_value(text);
      value.whole = static_cast<std::int32_t>(value.number);
      value.is_whole = value.whole == value.number;
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

// Collects what the seconds need of the cleaned first field: its first four
// and its last two bytes, and its length.
struct FirstField {
  std::array<unsigned char, 4> head{};
  std::array<unsigned char, 2> tail{};
  std::size_t length = 0;

  void add(unsigned char byte) noexcept {
    if (length < head.size()) head[length] = byte;
    tail[0] = tail[1];
    tail[1] = byte;
    ++length;
  }

  std::int32_t seconds() const noexcept {
    const auto& hours = part_values.of(head.data(), std::min<std::size_t>(length, 2));
    const auto& minutes = part_values.of(head.data() + 2, length > 2 ? std::min<std::size_t>(length - 2, 2) : 0);
    const auto& rest = length >= 2 ? part_values.of(tail.data(), 2) : part_values.of(head.data(), length);
    if (hours.is_whole && minutes.is_whole && rest.is_whole) [[likely]] {
      return hours.whole * 3600 + minutes.whole * 60 + rest.whole;
    }
    std::int32_t total = nearest_integer(static_cast<long double>(hours.number) * 3600.0L);
    total = nearest_integer(static_cast<long double>(minutes.number) * 60.0L + total);
    return nearest_integer(static_cast<long double>(rest.number) + total);
  }
};

}  // namespace

std::int32_t field_seconds(std::string_view field) noexcept {
  FirstField first;
  for (const char byte : field) first.add(static_cast<unsigned char>(byte));
  return first.seconds();
}

RecordConverter::Outcome RecordConverter::make_record(std::string_view line) noexcept {
  // The record is never longer than the line plus head, seconds and tail.
  const std::size_t most = line.size() + record_head.size() + 11 + 3 + record_tail.size();
  if (record_.size() < most) record_.resize(most);
  char* out = record_.data();
  std::memcpy(out, record_head.data(), record_head.size());
  out += record_head.size();

  std::size_t at = 0;
  FirstField first;
  for (; at < line.size() && line[at] != ';'; ++at) {
    const auto byte = static_cast<unsigned char>(line[at]);
    if (byte != ' ') first.add(byte == '.' ? ',' : byte);
  }
  out += write_decimal(first.seconds(), out);

  std::int32_t field = 1;
  for (; at < line.size(); ++at) {
    const auto byte = static_cast<unsigned char>(line[at]);
    if (byte == ';') {
      if (++field <= 4) *out++ = ';';
    } else if (byte != ' ') {
      if (field > 4) [[unlikely]] return {{}, field, byte == '.' ? line_store_comma : line_store_byte};
      *out++ = byte == '.' ? ',' : static_cast<char>(byte);
    }
  }
  for (; field < 4; ++field) *out++ = ';';
  std::memcpy(out, record_tail.data(), record_tail.size());
  out += record_tail.size();
  return {{record_.data(), static_cast<std::size_t>(out - record_.data())}};
}

bool RecordConverter::convert_line(const Text& line) noexcept {
  const std::string_view bytes = line.view();
  if (bytes.empty() || std::memchr(bytes.data(), ';', bytes.size()) == nullptr) return false;
  const Outcome outcome = make_record(bytes);
  if (outcome.failed_line != 0) [[unlikely]] {
    // The index check before a byte stored in a fifth field fails.
    const ErrorTarget target = check_index(outcome.failed_index, 1, 4, outcome.failed_line, module_name);
    if (target != nullptr) target();
    return false;
  }
  const WritingRecord writing;
  print_bytes(slot_for_number(target_file), outcome.record.data(), static_cast<std::int32_t>(outcome.record.size()));
  return true;
}

}  // namespace lumetra
