// Numbered file slots: the table of slots behind file numbers, the device
// operation table every slot carries, opening a disk file under a number,
// and closing one number or all of them.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "stream/crt_stream.h"
#include "text/text.h"

namespace lumetra {

// 0 the console, -1 a reserved slot that nothing opens, 1..254 file slots.
using FileNumber = std::int32_t;

inline constexpr FileNumber first_file_number = 1;
inline constexpr FileNumber last_file_number = 254;

// Slot modes and access kinds.
inline constexpr std::int32_t mode_binary = 0;
inline constexpr std::int32_t mode_random = 1;
inline constexpr std::int32_t mode_input = 2;
inline constexpr std::int32_t mode_output = 3;
inline constexpr std::int32_t mode_append = 4;
inline constexpr std::int32_t access_any = 0;
inline constexpr std::int32_t access_read = 1;
inline constexpr std::int32_t access_write = 2;
inline constexpr std::int32_t access_read_write = 3;

inline constexpr std::int32_t default_record_length = 128;
inline constexpr std::int32_t device_type_file = 4;
inline constexpr std::int32_t device_type_console = 1;

struct FileSlot;

// The operations of one kind of device. Every operation takes the slot first
// and returns an error number (0 success, 1 illegal function call, 2 file not
// found, 3 file I/O error, 4 out of memory), except at_end, which returns -1
// (at the end) or 0. A null entry means the device lacks the operation; the
// file_* wrappers then report error 1. Devices do only their own job: the
// wrappers look up the slot, check it is open and record the result.
struct DeviceOps {
  std::int32_t (*at_end)(FileSlot&) noexcept;
  std::int32_t (*close)(FileSlot&) noexcept;
  // origin 0 start, 1 current position, 2 end
  std::int32_t (*seek)(FileSlot&, std::int64_t offset, std::int32_t origin) noexcept;
  // position -1 when it cannot be had
  std::int32_t (*tell)(FileSlot&, std::int64_t* position) noexcept;
  // count: in the wanted number of units, out the number delivered
  std::int32_t (*read)(FileSlot&, char* buffer, std::int32_t* count) noexcept;
  std::int32_t (*read_wide)(FileSlot&, char16_t* buffer, std::int32_t* count) noexcept;
  std::int32_t (*write)(FileSlot&, const char* bytes, std::int32_t length) noexcept;
  std::int32_t (*write_wide)(FileSlot&, const char16_t* chars, std::int32_t length) noexcept;
  std::int32_t (*lock)(FileSlot&, std::int64_t offset, std::int64_t length) noexcept;
  std::int32_t (*unlock)(FileSlot&, std::int64_t offset, std::int64_t length) noexcept;
  // one line without its line end into destination
  std::int32_t (*read_line)(FileSlot&, Text& destination) noexcept;
  std::int32_t (*read_line_wide)(FileSlot&, char16_t* destination, std::int32_t size) noexcept;
  void (*reserved)() noexcept;  // empty in every table; nothing calls it
  std::int32_t (*flush)(FileSlot&) noexcept;
};
static_assert(sizeof(DeviceOps) == 14 * sizeof(void (*)()));

// What the console slot carries as its device state.
struct ConsoleSideRecord {
  unsigned char pending_keys[16];
  std::int32_t count;
};

// The state behind one file number. A slot is in use exactly when ops is
// set; a free slot has every field at its default. The slot owns its stream
// from open to close.
struct FileSlot {
  std::int32_t mode = 0;           // mode_binary .. mode_append
  std::int32_t record_length = 0;  // modes 1..3: given length or 128; else 0
  std::int32_t encoding = 0;       // 0 8-bit, 1 UTF-8, 2 UTF-16, 3 UTF-32
  std::int64_t size = 0;           // length at open (append: position at open)
  std::int32_t device_type = 0;    // device_type_file or device_type_console
  std::int32_t access = 0;         // access_read .. access_read_write once open
  std::int32_t lock = 0;           // stored only
  std::uint32_t column = 0;        // 0-based print column
  std::uint32_t width = 0;         // print width, 0 = unlimited
  unsigned char put_back[4] = {};  // bytes read again before the device
  std::int32_t put_back_count = 0;
  const DeviceOps* ops = nullptr;                     // none = free
  std::unique_ptr<CrtStream> stream;                  // disk files
  std::unique_ptr<ConsoleSideRecord> console_record;  // the console slot
  FileSlot* shared_column_link = nullptr;             // column and width taken from the chain's last slot
};

// ---- Slot table ------------------------------------------------------------

// 0 the console slot, -1 the reserved slot, 1..254 the file slots; null for
// any other number.
[[nodiscard]] FileSlot* slot_for_number(FileNumber number) noexcept;
[[nodiscard]] FileSlot& console_slot() noexcept;
// The console's own operation table, empty at start; the console layer fills
// the entries it serves.
[[nodiscard]] DeviceOps& console_device_ops() noexcept;
// Start-up: every slot (the console slot included) free, the files-opened
// flag clear.
void reset_file_slots() noexcept;
// Set by every open attempt that reaches a free slot, cleared by
// file_close_all.
[[nodiscard]] bool files_opened() noexcept;

// ---- Opening -----------------------------------------------------------------

// Fills a slot for a device: sets ops and whatever the device keeps. Returns
// 0 or an error number; the slot is cleared by the caller on failure.
using DeviceOpener = std::int32_t (*)(FileSlot&, const char* name, std::int32_t length) noexcept;

// Opens the named disk file under number (1..254) with mode, access, lock
// kind and record length (used by modes 1..3; 0 or less gives 128), encoding
// 0. Consumes a temporary name. Errors: 1 for a number outside 1..254, a slot
// in use, a mode outside 0..4, a length that cannot be measured, or a file
// that is already open in another slot and would be written here; 2 when the
// file cannot be opened in the needed mode (missing, a directory, not
// creatable, empty name, or standard input's terminal to be read). On
// failure the slot is free and nothing is changed on disk.
std::int32_t file_open(TextArg name, std::int32_t mode, std::int32_t access, std::int32_t lock, FileNumber number,
                       std::int32_t record_length) noexcept;
// Sets up a free slot and calls the opener; on an opener error the slot is
// free again. Error 1 when the slot is in use (it is left as it was).
std::int32_t open_slot(FileSlot& slot, const char* name, std::int32_t length, std::int32_t mode, std::int32_t access,
                       std::int32_t lock, std::int32_t record_length, std::int32_t encoding,
                       DeviceOpener opener) noexcept;
// The opener of disk files: name bytes (either path separator; a name that
// is not valid UTF-8 is read as code page 850, except that a source whose
// exact name a file has opens that file, and a typed one first the file
// named by the bytes the terminal sent) opened by the slot's mode and
// access; sets the slot's stream, size and access.
std::int32_t open_disk_file(FileSlot& slot, const char* name, std::int32_t length) noexcept;
// True when a source of this name would read standard input's terminal, from
// which the dialogue takes its keys. Opening such a source is refused with
// error 2.
[[nodiscard]] bool file_names_input_terminal(std::string_view name) noexcept;
// True when a target of this name would write into standard output or
// standard error, where the dialogue and the abort message go. Opening such
// a target is refused with error 1.
[[nodiscard]] bool file_names_dialogue_stream(std::string_view name) noexcept;
// Whether the names opened from now on were typed in the line editor,
// which delivers code page 850 decoded from the terminal's character set
// (set by the console's line input), or come as bytes (the start).
void set_names_typed(bool typed) noexcept;

// ---- Closing -----------------------------------------------------------------

// Closes one number; 0 closes all files and always gives 0. Error 1 for a
// number that names no slot or a free slot. Otherwise the device's close
// runs and the slot is free afterwards, whatever it reports: error 3 when
// output was lost (a failed write or final flush).
std::int32_t file_close(FileNumber number) noexcept;
// Closes every open file slot 1..254, ignoring results, when an open was
// attempted since the last run; the console and reserved slots stay.
void file_close_all() noexcept;

}  // namespace lumetra
