// Opening a disk file into a slot: the path conversion, the open mode by slot
// mode and access, the same-file guard, and measuring the size at open.
#include <cerrno>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "console_host/code_page_850.h"
#include "console_host/typed_names.h"
#include "files/files_internal.h"
#include "system/file_identity.h"
#include "system/standard_streams.h"

namespace lumetra {

namespace {

constexpr std::int32_t illegal_function_call = 1;
constexpr std::int32_t file_not_found = 2;
constexpr std::int32_t out_of_memory = 4;

// The error of a stream that could not be opened: a file that another run
// is writing (1), no memory for the stream (4), or no such file (2).
std::int32_t open_error(int system_error) noexcept {
  if (system_error == 0) return 0;
  if (system_error == EBUSY) return illegal_function_call;
  return system_error == ENOMEM ? out_of_memory : file_not_found;
}

const char* mode_text(std::int32_t mode, std::int32_t access) noexcept {
  switch (mode) {
    case mode_binary:
    case mode_random: return access == access_read ? "rb" : access == access_write ? "wb" : "r+b";
    case mode_input: return "rt";
    case mode_output: return "wb";
    case mode_append: return "ab";
    default: return nullptr;
  }
}

bool writes(std::string_view mode) noexcept { return mode != "rb" && mode != "rt"; }
bool reads(std::string_view mode) noexcept { return mode != "wb" && mode != "ab"; }

// The name's bytes, up to the first zero byte.
std::string_view name_bytes(const char* name, std::int32_t length) noexcept {
  const bool present = name != nullptr && length > 0;
  const std::string_view bytes(present ? name : "", present ? static_cast<std::size_t>(length) : 0);
  return bytes.substr(0, bytes.find('\0'));
}

// The name as the system's path, with "\" as separator "/" so that names
// written either way open the same file. Read as code page 850 (as the line
// editor delivers typed names) unless it is valid UTF-8, or taken as it is.
std::string system_path(std::string_view bytes, bool as_code_page_850) {
  std::string path(bytes);
  if (as_code_page_850) {
    path.assign(utf8_name_capacity(bytes.size()), '\0');
    path.resize(code_page_850_name_to_utf8(bytes, path));
  }
  for (char& byte : path) {
    if (byte == '\\') byte = '/';
  }
  return path;
}

bool names_typed = false;

// The path a source opens: the file whose name it is byte for byte (a name
// in Latin-1 left by an older system; for a typed name first the bytes the
// terminal sent), else the code page 850 reading of it.
std::string source_path(std::string_view bytes) {
  const std::string sent = names_typed ? typed_name_bytes(bytes) : std::string();
  for (const std::string_view exact_bytes : {std::string_view(sent), bytes}) {
    std::string exact = system_path(exact_bytes, false);
    FileIdentity ignored;
    if (!exact_bytes.empty() && path_identity(exact.c_str(), ignored) != ENOENT) return exact;
  }
  return system_path(bytes, true);
}

// The path a slot opens; targets are created under the code page 850
// reading of the name.
std::string path_to_open(const FileSlot& slot, std::string_view bytes) {
  return slot.mode == mode_input ? source_path(bytes) : system_path(bytes, true);
}

bool is_console_name(std::string_view path) noexcept {
  constexpr std::string_view console_name = "con";
  if (path.size() != console_name.size()) return false;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char lower = path[i] >= 'A' && path[i] <= 'Z' ? static_cast<char>(path[i] - 'A' + 'a') : path[i];
    if (lower != console_name[i]) return false;
  }
  return true;
}

// True when path is a file that one of the file slots has open. Opening it
// again for writing would empty or overwrite what is being read; a socket
// takes what is written apart from what it delivers.
bool open_in_a_slot(const char* path) noexcept {
  FileIdentity identity;
  if (path_identity(path, identity) != 0 || identity.socket) return false;
  for (FileNumber number = first_file_number; number <= last_file_number; ++number) {
    const FileSlot& slot = *slot_for_number(number);
    if (slot.stream != nullptr && slot.stream->identity() == identity) return true;
  }
  return false;
}

// Records written into standard output or error would mix with the dialogue
// and the abort message. A terminal that shows the records of "-" shows the
// dialogue as plain lines beside them.
bool writes_into_dialogue(const char* path) noexcept { return !data_on_terminal() && is_standard_output_file(path); }

void skip_byte_order_mark(CrtStream& stream, std::int32_t encoding, bool reposition) noexcept {
  constexpr std::int64_t mark_length[] = {0, 3, 2, 4};
  const std::int64_t length = encoding >= 1 && encoding <= 3 ? mark_length[encoding] : 0;
  if (length != 0 || reposition) (void)stream.set_position(length);
}

// The byte length; -1 on failure. The position stays: the open file may be
// shared with others, and a source is read from where it stands.
std::int64_t measure_length(CrtStream& stream) noexcept {
  std::int64_t length = -1;
  return stream.length(length) == 0 ? length : -1;
}

// Input: the length is taken in byte mode, then the file is read in text
// mode. A source without a length (a pipe, a device, a file in /proc) gets
// size 0 and is read until its end.
std::int32_t open_input(FileSlot& slot, CrtStream& stream, const char* path) noexcept {
  if (const std::int32_t error = open_error(stream.open(path, "rb")); error != 0) return error;
  slot.size = stream.length_known() ? measure_length(stream) : 0;
  if (slot.size == -1) {
    (void)stream.close();
    return illegal_function_call;
  }
  if (const std::int32_t error = open_error(stream.reopen(path, "rt")); error != 0) return error;
  stream.expect_length(slot.size);  // a file cut short between the two opens is cut short all the same
  skip_byte_order_mark(stream, slot.encoding, false);
  return 0;
}

// Binary and random files fall back to creating the file, then (for access
// "any") to reading only.
std::int32_t open_binary(FileSlot& slot, CrtStream& stream, const char* path, const char* mode) noexcept {
  const bool may_create = slot.access == access_any || slot.access == access_read_write;
  if (stream.open(path, mode) == 0) return 0;
  if (may_create && stream.open(path, "w+b") == 0) return 0;
  if (slot.access == access_any && stream.open(path, "rb") == 0) {
    slot.access = access_read;
    return 0;
  }
  return file_not_found;
}

std::int32_t open_stream(FileSlot& slot, CrtStream& stream, const char* path, const char* mode) noexcept {
  if (slot.mode == mode_input) return open_input(slot, stream, path);
  if (slot.mode == mode_output || slot.mode == mode_append) return open_error(stream.open(path, mode));
  return open_binary(slot, stream, path, mode);
}

// The size of a file opened in another mode than input.
std::int64_t size_at_open(const FileSlot& slot, CrtStream& stream) noexcept {
  if (slot.mode == mode_output) return 0;
  if (slot.mode == mode_append) return stream.tell();
  const std::int64_t length = measure_length(stream);
  if (length != -1) skip_byte_order_mark(stream, slot.encoding, true);
  return length;
}

std::int32_t open_disk_path(FileSlot& slot, const std::string& path, std::unique_ptr<CrtStream> stream) noexcept {
  slot.ops = &disk_device_ops;
  const char* mode = mode_text(slot.mode, slot.access);
  if (mode == nullptr) return illegal_function_call;
  if (writes(mode) && (open_in_a_slot(path.c_str()) || writes_into_dialogue(path.c_str())))
    return illegal_function_call;
  if (reads(mode) && names_standard_input_terminal(path.c_str())) return file_not_found;
  slot.size = -1;
  if (const std::int32_t result = open_stream(slot, *stream, path.c_str(), mode); result != 0) return result;
  if (slot.size == -1) slot.size = size_at_open(slot, *stream);
  if (slot.size == -1) {
    (void)stream->close();
    return illegal_function_call;
  }
  slot.stream = std::move(stream);
  if (slot.access == access_any) slot.access = access_read_write;
  if (is_console_name(path)) slot.device_type = device_type_console;
  return 0;
}

// What `test` says of the path that a name opens as a source or as a
// target; false when there is no memory for the path.
template <typename Test>
bool path_of_name_is(std::string_view name, bool source, Test test) noexcept {
  try {
    const std::string_view bytes = name_bytes(name.data(), static_cast<std::int32_t>(name.size()));
    return test((source ? source_path(bytes) : system_path(bytes, true)).c_str());
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

bool file_names_input_terminal(std::string_view name) noexcept {
  return path_of_name_is(name, true, names_standard_input_terminal);
}

bool file_names_dialogue_stream(std::string_view name) noexcept {
  return path_of_name_is(name, false, writes_into_dialogue);
}

void set_names_typed(bool typed) noexcept { names_typed = typed; }

std::int32_t open_disk_file(FileSlot& slot, const char* name, std::int32_t length) noexcept {
  try {
    return open_disk_path(slot, path_to_open(slot, name_bytes(name, length)), std::make_unique<CrtStream>());
  } catch (const std::bad_alloc&) {
    return out_of_memory;
  }
}

}  // namespace lumetra
