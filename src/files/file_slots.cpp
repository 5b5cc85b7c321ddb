// The slot table behind file numbers, the files-opened flag, slot set-up and
// closing by number.
#include "files/file_slots.h"

#include <array>
#include <string_view>

#include "files/files_internal.h"
#include "runtime/runtime_error.h"

namespace lumetra {

namespace {

struct SlotTable {
  FileSlot console;
  std::array<FileSlot, last_file_number + 1> files;  // [0] the reserved slot, [n] file n
  DeviceOps console_ops{};
  bool files_opened = false;
};

SlotTable table;

std::int32_t record_length_for(std::int32_t mode, std::int32_t given) noexcept {
  if (mode != mode_random && mode != mode_input && mode != mode_output) return 0;
  return given > 0 ? given : default_record_length;
}

// The size of a file whose opener did not measure it, through the device's
// own seek and tell; -1 when seeking to the end fails.
std::int64_t size_through_device(FileSlot& slot) noexcept {
  const DeviceOps& ops = *slot.ops;
  if (ops.seek == nullptr || ops.tell == nullptr || slot.mode == mode_output) return 0;
  std::int64_t position = 0;
  if (slot.mode == mode_append) {
    (void)ops.tell(slot, &position);
    return position;
  }
  if (ops.seek(slot, 0, 2) != 0) return -1;
  (void)ops.tell(slot, &position);
  (void)ops.seek(slot, 0, 0);
  return position;
}

}  // namespace

// ---- Slot table ------------------------------------------------------------

FileSlot* slot_for_number(FileNumber number) noexcept {
  if (number == 0) return &table.console;
  if (number == -1) return &table.files[0];
  if (number < first_file_number || number > last_file_number) return nullptr;
  return &table.files[static_cast<std::size_t>(number)];
}

FileSlot& console_slot() noexcept { return table.console; }

DeviceOps& console_device_ops() noexcept { return table.console_ops; }

bool files_opened() noexcept { return table.files_opened; }

void clear_slot(FileSlot& slot) noexcept { slot = FileSlot{}; }

void reset_file_slots() noexcept {
  for (FileSlot& slot : table.files) clear_slot(slot);
  clear_slot(table.console);
  table.files_opened = false;
}

// ---- Opening -----------------------------------------------------------------

std::int32_t file_open(TextArg name, std::int32_t mode, std::int32_t access, std::int32_t lock, FileNumber number,
                       std::int32_t record_length) noexcept {
  if (number < first_file_number || number > last_file_number)
    return set_error_number(RuntimeError::IllegalFunctionCall);
  const std::string_view bytes = name.view();
  return open_slot(*slot_for_number(number), bytes.data(), static_cast<std::int32_t>(bytes.size()), mode, access, lock,
                   record_length, 0, open_disk_file);
}

std::int32_t open_slot(FileSlot& slot, const char* name, std::int32_t length, std::int32_t mode, std::int32_t access,
                       std::int32_t lock, std::int32_t record_length, std::int32_t encoding,
                       DeviceOpener opener) noexcept {
  if (slot.ops != nullptr) return set_error_number(RuntimeError::IllegalFunctionCall);
  table.files_opened = true;
  clear_slot(slot);
  slot.mode = mode;
  slot.device_type = device_type_file;
  slot.encoding = encoding;
  slot.access = access;
  slot.lock = lock;
  slot.record_length = record_length_for(mode, record_length);
  slot.size = -1;
  if (const std::int32_t result = opener(slot, name, length); result != 0) {
    clear_slot(slot);
    return set_error_number(result);
  }
  if (slot.size == -1) slot.size = size_through_device(slot);
  return set_error_number(RuntimeError::None);
}

// ---- Closing -----------------------------------------------------------------

std::int32_t file_close(FileNumber number) noexcept {
  if (number == 0) {
    file_close_all();
    return set_error_number(RuntimeError::None);
  }
  FileSlot* slot = slot_for_number(number);
  if (slot == nullptr || slot->ops == nullptr || slot->ops->close == nullptr) {
    return set_error_number(RuntimeError::IllegalFunctionCall);
  }
  // A close that reports lost output has still released the file: the slot
  // is free either way, so the number can be opened again.
  const std::int32_t result = slot->ops->close(*slot);
  clear_slot(*slot);
  return set_error_number(result);
}

void file_close_all() noexcept {
  if (!table.files_opened) return;
  table.files_opened = false;
  for (FileNumber number = first_file_number; number <= last_file_number; ++number) {
    FileSlot& slot = table.files[static_cast<std::size_t>(number)];
    if (slot.ops != nullptr && slot.ops->close != nullptr) (void)slot.ops->close(slot);
  }
  for (FileNumber number = first_file_number; number <= last_file_number; ++number) {
    clear_slot(table.files[static_cast<std::size_t>(number)]);
  }
}

}  // namespace lumetra
