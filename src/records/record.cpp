// The general record making: the line's bytes walked once, eight at a time
// where the fields allow it.
#include "records/record.h"

#include <cstring>

#include "records/field_bytes.h"
#include "records/time_field.h"
#include "text/decimal.h"

namespace lumetra {
namespace {

// After the fourth separator only blanks and separators may follow: the
// first other byte would be stored in a fifth (or later) field.
RecordOutcome check_beyond_fourth_field(const char* at, const char* end) noexcept {
  std::int32_t field = 5;
  for (; at < end; ++at) {
    const ByteRole role = role_of(*at);
    if (role == Separator)
      ++field;
    else if (role != Dropped)
      return {{}, field, role == Comma ? line_store_comma : line_store_byte};
  }
  return {};
}

// The fields after the first, from the line's first separator on, eight
// bytes at a time while they hold no blank and their separators stay within
// the four fields: every "." (0x2E) then becomes "," (0x2C) by taking 2 from
// it. Returns where the bytes not yet copied start.
const char* copy_plain_words(const char* at, const char* end, char*& out, std::int32_t& field) noexcept {
  while (end - at >= 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, at, 8);
    const std::int32_t separators = count_marked_bytes(bytes_equal(word, ';'));
    if (bytes_equal(word, ' ') != 0 || field + separators > 4) break;
    word -= bytes_equal(word, '.') >> 6;
    std::memcpy(out, &word, 8);
    out += 8;
    at += 8;
    field += separators;
  }
  return at;
}

// Separators for the fields the line did not have, and the tail.
RecordOutcome finish_record(char* record, char* out, std::int32_t fields) noexcept {
  for (; fields < 4; ++fields) *out++ = ';';
  std::memcpy(out, record_tail.data(), record_tail.size());
  out += record_tail.size();
  return {{record, static_cast<std::size_t>(out - record)}};
}

}  // namespace

RecordOutcome write_record(std::string_view line, std::size_t separator, char* out) noexcept {
  char* const record = out;
  std::memcpy(out, record_head.data(), record_head.size());
  out += record_head.size();
  const char* at = line.data();
  const char* const end = at + line.size();
  out += write_decimal(time_field_seconds(line.substr(0, separator)), out);

  // Fields 2 to 4, each after its separator. Every byte is stored and only
  // the kept ones advance the output, which keeps the loop free of branches
  // but the one at a separator.
  std::int32_t field = 1;
  for (at = copy_plain_words(at + separator, end, out, field); at < end; ++at) {
    const ByteRole role = role_of(*at);
    *out = role == Comma ? ',' : *at;
    out += role != Dropped;
    if (role == Separator && ++field > 4) {
      const RecordOutcome beyond = check_beyond_fourth_field(at + 1, end);
      return beyond.failed_line != 0 ? beyond : finish_record(record, out - 1, 4);
    }
  }
  return finish_record(record, out, field);
}

}  // namespace lumetra
