// Record conversion. The conversion walks the line's bytes once and builds
// the whole record in a reused buffer, which goes to the target in one write:
// the conversion loop runs once per line of logs that may be very large.
#include "converter/record_converter.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#include "files/file_slots.h"
#include "files/print_output.h"
#include "records/field_bytes.h"
#include "records/plain_record.h"
#include "records/time_field.h"
#include "runtime/lifecycle.h"
#include "runtime/runtime_error.h"
#include "runtime/signals.h"
#include "system/memory.h"
#include "text/decimal.h"

namespace lumetra {
namespace {

constexpr std::string_view record_head = "$1;1;";
constexpr std::string_view record_tail = ";0\r\n";
constexpr const char* module_name = "lumetra";
constexpr FileNumber target_file = 2;
// Records are written out in batches of about this many bytes.
constexpr std::size_t output_batch_size = 1 << 20;
// The room of a plain line's record.
constexpr std::size_t plain_room = longest_plain_line + plain_record_slack;
// The first room holds a whole batch and the plain record that completes it:
// the plain lines never make it grow.
constexpr std::size_t first_room = output_batch_size + plain_room;

// After the fourth separator only blanks and separators may follow: the
// first other byte would be stored in a fifth (or later) field.
RecordConverter::Outcome check_beyond_fourth_field(const char* at, const char* end) noexcept {
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

RecordConverter* exiting_converter = nullptr;

}  // namespace

RecordConverter::RecordConverter() noexcept {
  exiting_converter = this;
  set_exit_writer(write_at_exit);
}

RecordConverter::~RecordConverter() {
  if (exiting_converter == this) exiting_converter = nullptr;
}

void RecordConverter::Release::operator()(char* bytes) const noexcept { memory_free(bytes); }

// The exit step's call, perhaps from a signal handler: system calls only.
void RecordConverter::write_at_exit() noexcept {
  if (exiting_converter != nullptr) exiting_converter->write_waiting_records();
}

// Room for size bytes at least: a batch's room at first, later twice the
// room there was when that can be had, so that the buffer grows seldom. The
// exit writer may run at any moment
// (from a signal handler): it sees the old block until the new one holds the
// waiting records, and the old one is freed only once the new one is in
// place.
bool RecordConverter::reserve_output(std::size_t size) noexcept {
  if (size <= output_size_) return true;
  std::size_t room = std::max({size, 2 * output_size_, first_room});
  char* grown = static_cast<char*>(memory_allocate(room));
  if (grown == nullptr) grown = static_cast<char*>(memory_allocate(room = size));
  if (grown == nullptr) return false;
  if (waiting_ != 0) std::memcpy(grown, output_.get(), waiting_);
  std::unique_ptr<char[], Release> replaced(grown);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  output_.swap(replaced);
  std::atomic_signal_fence(std::memory_order_seq_cst);
  output_size_ = room;
  return true;
}

// Room for one more record behind the waiting ones, or null when memory runs
// out: never longer than the line plus head, seconds and tail, and room for
// the vectors of a plain record.
char* RecordConverter::record_room(std::size_t line_length) noexcept {
  const std::size_t most = line_length + std::max(record_head.size() + 11 + 3 + record_tail.size(), plain_record_slack);
  if (!reserve_output(waiting_ + most)) [[unlikely]]
    return nullptr;
  return output_.get() + waiting_;
}

// The record of a plain line, made at once; 0 for other lines. The room is
// that of the longest plain line, so that it is checked by one comparison.
std::size_t RecordConverter::make_plain(std::string_view line) noexcept {
  if (waiting_ + plain_room > output_size_) [[unlikely]] {
    if (line.size() > longest_plain_line || !reserve_output(waiting_ + plain_room)) return 0;
  }
  return make_plain_record(line, output_.get() + waiting_);
}

RecordConverter::Outcome RecordConverter::make_record(std::string_view line) noexcept {
  const std::size_t plain = make_plain(line);
  if (plain != 0) [[likely]]
    return {{output_.get() + waiting_, plain}};
  return make_general_record(line);
}

RecordConverter::Outcome RecordConverter::make_general_record(std::string_view line) noexcept {
  return make_record(line, line.data() + std::min(line.find(';'), line.size()));
}

RecordConverter::Outcome RecordConverter::make_record(std::string_view line, const char* separator) noexcept {
  char* out = record_room(line.size());
  if (out == nullptr) [[unlikely]]
    return {.record = {}, .no_memory = true};
  std::memcpy(out, record_head.data(), record_head.size());
  out += record_head.size();
  const char* at = line.data();
  const char* const end = at + line.size();
  out += write_decimal(time_field_seconds({at, static_cast<std::size_t>(separator - at)}), out);

  // Fields 2 to 4, each after its separator. Every byte is stored and only
  // the kept ones advance the output, which keeps the loop free of branches
  // but the one at a separator.
  std::int32_t field = 1;
  for (at = copy_plain_words(separator, end, out, field); at < end; ++at) {
    const ByteRole role = role_of(*at);
    *out = role == Comma ? ',' : *at;
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
  char* const record = output_.get() + waiting_;
  return {{record, static_cast<std::size_t>(out - record)}};
}

bool RecordConverter::convert_line(std::string_view line) noexcept {
  std::size_t size = make_plain(line);
  if (size == 0) [[unlikely]] {
    const std::size_t found = line.find(';');
    if (found == std::string_view::npos) return false;
    const Outcome outcome = make_record(line, line.data() + found);
    if (outcome.failed_line != 0 || outcome.no_memory) [[unlikely]] {
      fail_line(line, outcome);
      return false;
    }
    size = outcome.record.size();
  }
  waiting_ += size;
  if (waiting_ >= output_batch_size) finish();
  return true;
}

// A line that makes no record ends the process: the index check before a
// byte stored in a fifth field fails, or the record gets no memory. The
// records before the line are complete in the target first.
void RecordConverter::fail_line(std::string_view line, const Outcome& outcome) noexcept {
  finish();
  if (line_note_ != nullptr) line_note_(line_note_context_, line);
  const ErrorTarget target =
      outcome.no_memory
          ? raise_runtime_error(error_code(RuntimeError::OutOfMemory), line_store_byte, module_name, nullptr, nullptr)
          : check_index(outcome.failed_index, 1, 4, outcome.failed_line, module_name);
  if (target != nullptr) target();
}

void RecordConverter::finish() noexcept {
  if (waiting_ == 0) return;
  const HoldRequests hold;
  write_waiting_records();
}

void RecordConverter::write_waiting_records() noexcept {
  const std::size_t count = std::exchange(waiting_, 0);
  if (count != 0 && file_write_lines(target_file, {output_.get(), count}) != 0) target_failed_ = true;
}

}  // namespace lumetra
