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
// Records are written out in batches of about this many bytes.
constexpr std::size_t output_batch_size = 64 * 1024;

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

// What each byte of a line does to its record.
enum ByteRole : unsigned char { Copied, Dropped, Comma, Separator };

constexpr std::array<ByteRole, 256> byte_roles = [] {
  std::array<ByteRole, 256> roles{};
  roles[' '] = Dropped;
  roles['.'] = Comma;
  roles[';'] = Separator;
  return roles;
}();

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

// The parts of a cleaned first field: its first two bytes, bytes 3 and 4, and
// its last two bytes (all of it when shorter).
std::int32_t seconds_of_clean(const unsigned char* field, std::size_t length) noexcept {
  return seconds_from_parts(part_values.of(field, std::min<std::size_t>(length, 2)),
                            part_values.of(field + 2, length > 2 ? std::min<std::size_t>(length - 2, 2) : 0),
                            length >= 2 ? part_values.of(field + length - 2, 2) : part_values.of(field, length));
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

std::int32_t seconds_of_field(std::string_view field) noexcept {
  bool clean = true;
  for (const char byte : field) clean &= byte_roles[static_cast<unsigned char>(byte)] == Copied;
  if (clean) [[likely]] return seconds_of_clean(reinterpret_cast<const unsigned char*>(field.data()), field.size());
  return seconds_of_unclean(field);
}

// After the fourth separator only blanks and separators may follow: the
// first other byte would be stored in a fifth (or later) field.
RecordConverter::Outcome check_beyond_fourth_field(const char* at, const char* end) noexcept {
  std::int32_t field = 5;
  for (; at < end; ++at) {
    const ByteRole role = byte_roles[static_cast<unsigned char>(*at)];
    if (role == Separator) ++field;
    else if (role != Dropped) return {{}, field, role == Comma ? line_store_comma : line_store_byte};
  }
  return {};
}

}  // namespace

RecordConverter::Outcome RecordConverter::make_record(std::string_view line) noexcept {
  // The record is never longer than the line plus head, seconds and tail.
  const std::size_t most = line.size() + record_head.size() + 11 + 3 + record_tail.size();
  if (output_.size() < waiting_ + most) output_.resize(waiting_ + most);
  char* const record = output_.data() + waiting_;
  char* out = record;
  std::memcpy(out, record_head.data(), record_head.size());
  out += record_head.size();

  const char* at = line.data();
  const char* const end = at + line.size();
  const auto* separator = static_cast<const char*>(std::memchr(at, ';', line.size()));
  if (separator == nullptr) separator = end;
  out += write_decimal(seconds_of_field({at, static_cast<std::size_t>(separator - at)}), out);

  // Fields 2 to 4, each after its separator. Every byte is stored and only
  // the kept ones advance the output, which keeps the loop free of branches
  // but the one at a separator.
  std::int32_t field = 1;
  for (at = separator; at < end; ++at) {
    const auto byte = static_cast<unsigned char>(*at);
    const ByteRole role = byte_roles[byte];
    *out = role == Comma ? ',' : static_cast<char>(byte);
    out += role != Dropped;
    if (role == Separator && ++field > 4) {
      const Outcome beyond = check_beyond_fourth_field(at + 1, end);
      return beyond.failed_line != 0 ? beyond : finish_record(out - 1, 4);
    }
  }
  return finish_record(out, field);
}

// Separators for the fields the line did not have, and the tail.
RecordConverter::Outcome RecordConverter::finish_record(char* out, std::int32_t fields) noexcept {
  for (; fields < 4; ++fields) *out++ = ';';
  std::memcpy(out, record_tail.data(), record_tail.size());
  out += record_tail.size();
  char* const record = output_.data() + waiting_;
  return {{record, static_cast<std::size_t>(out - record)}};
}

bool RecordConverter::convert_line(std::string_view line) noexcept {
  if (line.empty() || std::memchr(line.data(), ';', line.size()) == nullptr) return false;
  const Outcome outcome = make_record(line);
  if (outcome.failed_line != 0) [[unlikely]] {
    // The index check before a byte stored in a fifth field fails; the
    // records before the line are complete in the target.
    finish();
    const ErrorTarget target = check_index(outcome.failed_index, 1, 4, outcome.failed_line, module_name);
    if (target != nullptr) target();
    return false;
  }
  waiting_ += outcome.record.size();
  if (waiting_ >= output_batch_size) finish();
  return true;
}

void RecordConverter::finish() noexcept {
  if (waiting_ == 0) return;
  const WritingRecord writing;
  print_bytes(slot_for_number(target_file), output_.data(), static_cast<std::int32_t>(waiting_));
  waiting_ = 0;
}

}  // namespace lumetra
