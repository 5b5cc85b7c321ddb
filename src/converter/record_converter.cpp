// Record conversion. Each record is made in a reused buffer behind the
// records that wait there, and the buffer goes to the target in large writes:
// the conversion loop runs once per line of logs that may be very large.
#include "converter/record_converter.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#include "files/file_slots.h"
#include "files/print_output.h"
#include "records/plain_record.h"
#include "runtime/lifecycle.h"
#include "runtime/runtime_error.h"
#include "runtime/signals.h"
#include "stream/text_reader.h"
#include "system/memory.h"

namespace lumetra {
namespace {

constexpr const char* module_name = "lumetra";
constexpr FileNumber target_file = 2;
// Records are written out in batches of about this many bytes.
constexpr std::size_t output_batch_size = 1 << 20;
// The room of a plain line's record.
constexpr std::size_t plain_room = longest_plain_line + plain_record_slack;
// The first room holds a whole batch and the plain record that completes it:
// the plain lines never make it grow.
constexpr std::size_t first_room = output_batch_size + plain_room;

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
// out.
char* RecordConverter::room_for_record(std::size_t line_length) noexcept {
  if (!reserve_output(waiting_ + record_room(line_length))) [[unlikely]]
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

RecordOutcome RecordConverter::make_record(std::string_view line) noexcept {
  const std::size_t plain = make_plain(line);
  if (plain != 0) [[likely]]
    return {{output_.get() + waiting_, plain}};
  return make_record(line, std::min(line.find(';'), line.size()));
}

RecordOutcome RecordConverter::make_record(std::string_view line, std::size_t separator) noexcept {
  char* out = room_for_record(line.size());
  if (out == nullptr) [[unlikely]]
    return {.record = {}, .no_memory = true};
  return write_record(line, separator, out);
}

bool RecordConverter::convert_line(std::string_view line) noexcept {
  std::size_t size = make_plain(line);
  if (size == 0) [[unlikely]] {
    const std::size_t found = line.find(';');
    if (found == std::string_view::npos) return false;
    const RecordOutcome outcome = make_record(line, found);
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

LinesTaken RecordConverter::convert_plain_lines(std::string_view block) noexcept {
  LinesTaken taken;
  if (!reserve_output(first_room)) return taken;
  const char* const end = block.data() + block.size();
  const char* line = block.data();
  while (line != end && !request_waiting() && !target_failed_) {
    // One batch at a time: the plain records of a batch always fit its room.
    char* out = output_.get() + waiting_;
    char* const batch_end = output_.get() + output_batch_size;
    while (line != end && out < batch_end) {
      const auto* lf = static_cast<const char*>(std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
      const std::size_t size = make_plain_record(buffered_line_text({line, static_cast<std::size_t>(lf - line)}), out);
      if (size == 0) break;
      out += size;
      line = lf + 1;
      ++taken.lines;
    }
    waiting_ = static_cast<std::size_t>(out - output_.get());
    if (waiting_ < output_batch_size) break;  // a line that is not plain, or the block's end
    finish();
  }
  taken.bytes = static_cast<std::size_t>(line - block.data());
  return taken;
}

// A line that makes no record ends the process: the index check before a
// byte stored in a fifth field fails, or the record gets no memory. The
// records before the line are complete in the target first.
void RecordConverter::fail_line(std::string_view line, const RecordOutcome& outcome) noexcept {
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
