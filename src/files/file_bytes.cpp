// Reading bytes from a slot through its put-back buffer, handing bytes back,
// and setting the read position.
#include <algorithm>
#include <cstring>

#include "files/line_reader.h"
#include "runtime/runtime_error.h"

namespace lumetra {

namespace {

constexpr std::int32_t put_back_size = sizeof(FileSlot::put_back);

// Put-back units are bytes for 8-bit text, else 16-bit units of two bytes.
std::int32_t put_back_unit(const FileSlot& slot) noexcept { return slot.encoding == 0 ? 1 : 2; }

std::int32_t held_unit(const FileSlot& slot, std::int32_t index) noexcept {
  if (slot.encoding == 0) return slot.put_back[index];
  std::int16_t unit = 0;
  std::memcpy(&unit, slot.put_back + 2 * index, sizeof unit);
  return unit;
}

// Drops the first `bytes` bytes of the put-back buffer.
void drop_held(FileSlot& slot, std::int32_t bytes) noexcept {
  std::memmove(slot.put_back, slot.put_back + bytes, static_cast<std::size_t>(slot.put_back_count - bytes));
  slot.put_back_count -= bytes;
}

// Moves up to `wanted` held units into the destination, narrowing or widening
// them to its unit; returns how many.
std::int32_t take_held(FileSlot& slot, void* destination, std::int32_t wanted, bool wide) noexcept {
  const std::int32_t units = std::min(wanted, slot.put_back_count / put_back_unit(slot));
  for (std::int32_t i = 0; i < units; ++i) {
    const std::int32_t unit = held_unit(slot, i);
    if (wide) {
      static_cast<char16_t*>(destination)[i] = static_cast<char16_t>(unit);
    } else {
      static_cast<char*>(destination)[i] = static_cast<char>(unit);
    }
  }
  drop_held(slot, units * put_back_unit(slot));
  return units;
}

std::int32_t read_from_device(FileSlot& slot, void* destination, std::int32_t* count, bool wide) noexcept {
  const DeviceOps& ops = *slot.ops;
  if (wide) {
    return ops.read_wide != nullptr ? ops.read_wide(slot, static_cast<char16_t*>(destination), count)
                                    : error_code(RuntimeError::IllegalFunctionCall);
  }
  return ops.read != nullptr ? ops.read(slot, static_cast<char*>(destination), count)
                             : error_code(RuntimeError::IllegalFunctionCall);
}

// Skips what is left of the record after `bytes` bytes: first from the
// put-back buffer, then by seeking on.
void skip_rest_of_record(FileSlot& slot, std::int64_t bytes) noexcept {
  std::int64_t rest = (slot.record_length - bytes % slot.record_length) % slot.record_length;
  const std::int32_t held = static_cast<std::int32_t>(std::min<std::int64_t>(rest, slot.put_back_count));
  drop_held(slot, held);
  rest -= held;
  if (rest > 0 && slot.ops->seek != nullptr) (void)slot.ops->seek(slot, rest, 1);
}

}  // namespace

std::int32_t file_get(FileSlot& slot, std::int64_t position, void* destination, std::int32_t* count, bool record_fill,
                      bool wide) noexcept {
  if (slot.ops == nullptr || position < 0) return set_error_number(RuntimeError::IllegalFunctionCall);
  std::int32_t result = position > 0 ? file_set_position(slot, position) : 0;
  const std::int32_t wanted = std::max(*count, 0);
  std::int32_t delivered = result == 0 ? take_held(slot, destination, wanted, wide) : 0;
  if (result == 0 && delivered < wanted) {
    const std::size_t unit = wide ? sizeof(char16_t) : 1;
    std::int32_t device_count = wanted - delivered;
    result = read_from_device(slot, static_cast<char*>(destination) + delivered * unit, &device_count, wide);
    if (result == 0) delivered += device_count;
  }
  if (slot.mode == mode_random && record_fill && slot.record_length != 0) {
    if (delivered != slot.record_length && result == 0) result = error_code(RuntimeError::FileIoError);
    skip_rest_of_record(slot, static_cast<std::int64_t>(delivered) * (wide ? 2 : 1));
  }
  *count = delivered;
  return set_error_number(result);
}

std::int32_t file_put_back(FileSlot& slot, const char* bytes, std::int32_t count) noexcept {
  if (slot.ops == nullptr || count < 0) return set_error_number(RuntimeError::IllegalFunctionCall);
  const std::int32_t unit = put_back_unit(slot);
  const std::int32_t added = count * unit;
  if (slot.put_back_count + added > put_back_size) return set_error_number(RuntimeError::FileIoError);
  std::memmove(slot.put_back + added, slot.put_back, static_cast<std::size_t>(slot.put_back_count));
  for (std::int32_t i = 0; i < count; ++i) {
    // A byte handed back to a wide file becomes a sign-extended unit.
    const auto value =
        static_cast<std::int16_t>(static_cast<signed char>(bytes[i]));  // NOLINT(bugprone-signed-char-misuse)
    std::memcpy(slot.put_back + i * unit, unit == 1 ? static_cast<const void*>(&bytes[i]) : &value,
                static_cast<std::size_t>(unit));
  }
  slot.put_back_count += added;
  return set_error_number(RuntimeError::None);
}

std::int32_t file_set_position(FileSlot& slot, std::int64_t position) noexcept {
  if (slot.ops == nullptr) return set_error_number(RuntimeError::IllegalFunctionCall);
  slot.put_back_count = 0;
  if (slot.ops->seek == nullptr) return set_error_number(RuntimeError::IllegalFunctionCall);
  const std::int64_t records = slot.mode == mode_random ? slot.record_length : 1;
  return set_error_number(slot.ops->seek(slot, (position - 1) * records, 0));
}

}  // namespace lumetra
