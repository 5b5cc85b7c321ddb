// Print items, endings and print zones over the core write with column
// tracking.
#include "files/print_output.h"

#include <string_view>

#include "files/line_reader.h"
#include "runtime/runtime_error.h"

namespace lumetra {

namespace {

constexpr std::string_view line_end = "\r\n";
constexpr std::string_view zone_spaces = "              ";
static_assert(zone_spaces.size() == print_zone_width);

ConsoleSlotPreparer console_slot_preparer = nullptr;

void prepare_console_slot() noexcept {
  if (console_slot_preparer != nullptr) console_slot_preparer();
}

// The slot whose column and width a print uses: the last of the chain of
// shared-column links.
FileSlot& column_holder(FileSlot& slot) noexcept {
  FileSlot* holder = &slot;
  while (holder->shared_column_link != nullptr) holder = holder->shared_column_link;
  return *holder;
}

// Index of the last CR or LF among the units, or -1.
template <typename Unit>
std::int64_t last_line_break(const Unit* units, std::int32_t length) noexcept {
  for (std::int64_t i = length - 1; i >= 0; --i) {
    if (units[i] == Unit('\r') || units[i] == Unit('\n')) return i;
  }
  return -1;
}

void follow_column(FileSlot& slot, const void* data, std::int32_t length, bool wide) noexcept {
  FileSlot& holder = column_holder(slot);
  const std::int64_t line_break = wide ? last_line_break(static_cast<const char16_t*>(data), length)
                                       : last_line_break(static_cast<const char*>(data), length);
  std::uint32_t column = line_break >= 0 ? static_cast<std::uint32_t>(length - line_break - 1)
                                         : holder.column + static_cast<std::uint32_t>(length);
  if (holder.width != 0) column %= holder.width;
  holder.column = column;
}

std::int32_t write_to_device(FileSlot& slot, const void* data, std::int32_t length, bool wide) noexcept {
  const DeviceOps& ops = *slot.ops;
  if (wide) {
    return ops.write_wide != nullptr ? ops.write_wide(slot, static_cast<const char16_t*>(data), length)
                                     : error_code(RuntimeError::IllegalFunctionCall);
  }
  return ops.write != nullptr ? ops.write(slot, static_cast<const char*>(data), length)
                              : error_code(RuntimeError::IllegalFunctionCall);
}

// A random-access record is filled up to its length by skipping on; a write
// of another length than the record's is an error all the same.
std::int32_t finish_record(FileSlot& slot, std::int32_t length, bool wide) noexcept {
  const std::int64_t record = slot.record_length;
  const std::int64_t bytes = static_cast<std::int64_t>(length) * (wide ? 2 : 1);
  const std::int64_t rest = (record - bytes % record) % record;
  if (rest != 0) (void)slot.ops->seek(slot, rest, 1);
  return bytes == record ? 0 : error_code(RuntimeError::FileIoError);
}

}  // namespace

void set_console_slot_preparer(ConsoleSlotPreparer prepare) noexcept { console_slot_preparer = prepare; }

// ---- Items and endings -------------------------------------------------------

void print_text(FileNumber number, TextArg text, std::int32_t ending) noexcept {
  FileSlot* slot = slot_for_number(number);
  const std::string_view bytes = text.view();
  if (!bytes.empty()) (void)print_bytes(slot, bytes.data(), static_cast<std::int32_t>(bytes.size()));
  print_ending(slot, ending);
}

void print_ending(FileNumber number, std::int32_t ending) noexcept { print_ending(slot_for_number(number), ending); }

void print_ending(FileSlot* slot, std::int32_t ending) noexcept {
  if ((ending & (ending_line | ending_line_too)) != 0) {
    (void)print_bytes(slot, line_end.data(), static_cast<std::int32_t>(line_end.size()));
  } else if ((ending & ending_zone) != 0) {
    print_next_zone(slot);
  }
}

void print_plain_text(FileNumber number, const char* bytes, std::int32_t ending) noexcept {
  FileSlot* slot = slot_for_number(number);
  const std::string_view text = bytes != nullptr ? std::string_view(bytes) : std::string_view();
  if (!text.empty()) (void)print_bytes(slot, text.data(), static_cast<std::int32_t>(text.size()));
  print_ending(slot, ending);
}

std::int32_t print_bytes(FileSlot* slot, const char* bytes, std::int32_t length) noexcept {
  prepare_console_slot();
  if (slot == nullptr || slot->ops == nullptr) return set_error_number(RuntimeError::IllegalFunctionCall);
  return file_put(slot, 0, bytes, length, true, true, false);
}

std::int32_t file_write_lines(FileNumber number, std::string_view lines) noexcept {
  FileSlot* slot = slot_for_number(number);
  if (slot == nullptr || slot->stream == nullptr) return set_error_number(RuntimeError::IllegalFunctionCall);
  slot->put_back_count = 0;
  slot->column = 0;
  const bool whole = slot->stream->write_lines(lines.data(), lines.size());
  return set_error_number(whole ? RuntimeError::None : RuntimeError::FileIoError);
}

void print_next_zone(FileSlot* slot) noexcept {
  prepare_console_slot();
  if (slot == nullptr) {
    set_error_number(RuntimeError::IllegalFunctionCall);
    return;
  }
  const FileSlot& holder = column_holder(*slot);
  const std::uint32_t column = holder.column;
  std::uint32_t next = (column + print_zone_width) / print_zone_width * print_zone_width + 1;  // 1-based
  // Unsigned on purpose: a width below 14 wraps around and never forces a line end.
  if (holder.width != 0 && next > holder.width - print_zone_width) next = 1;
  if (next <= column + 1) {
    (void)print_bytes(slot, line_end.data(), static_cast<std::int32_t>(line_end.size()));
  } else {
    (void)print_bytes(slot, zone_spaces.data(), static_cast<std::int32_t>(next - column - 1));
  }
}

// ---- Core write --------------------------------------------------------------

std::int32_t file_put(FileSlot* slot, std::int64_t position, const void* data, std::int32_t length, bool record_fill,
                      bool column, bool wide) noexcept {
  if (slot == nullptr || slot->ops == nullptr || position < 0) {
    return set_error_number(RuntimeError::IllegalFunctionCall);
  }
  set_error_number(RuntimeError::None);
  slot->put_back_count = 0;
  std::int32_t result = position > 0 ? file_set_position(*slot, position) : 0;
  if (result == 0) result = write_to_device(*slot, data, length, wide);
  if (result == 0 && record_fill && slot->mode == mode_random && slot->record_length != 0 &&
      slot->ops->seek != nullptr) {
    result = finish_record(*slot, length, wide);
  }
  if (column && result == 0) follow_column(*slot, data, length, wide);
  return set_error_number(result);
}

}  // namespace lumetra
