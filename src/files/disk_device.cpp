// The disk device: the operation table shared by all disk files, over the
// slot's buffered stream.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "files/files_internal.h"
#include "files/line_reader.h"

namespace lumetra {

namespace {

constexpr std::int32_t ok = 0;
constexpr std::int32_t illegal_function_call = 1;
constexpr std::int32_t file_io_error = 3;
constexpr std::size_t wide_step = 512;  // bytes converted per round of the wide operations
constexpr std::int64_t low_32_bits = 0xFFFF'FFFF;

// Bytes widen to the 16-bit unit of the same value, up to the first zero
// byte; every unit behind it is zero.
void widen_bytes(const char* bytes, std::size_t length, char16_t* units, std::size_t room) noexcept {
  const void* zero = std::memchr(bytes, '\0', length);
  const std::size_t used = zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - bytes) : length;
  const std::size_t shown = std::min(used, room);
  for (std::size_t i = 0; i < shown; ++i) units[i] = static_cast<unsigned char>(bytes[i]);
  std::fill(units + shown, units + room, u'\0');
}

// One byte per character: units up to 0xFF as themselves, others as "?"; a
// high surrogate takes its partner along into the same "?".
std::size_t narrow_units(const char16_t* units, std::int32_t length, std::int32_t& index, char* out) noexcept {
  std::size_t produced = 0;
  while (index < length && produced < wide_step) {
    const char16_t unit = units[index++];
    if (unit >= 0xD800 && unit <= 0xDBFF && index < length) ++index;
    out[produced++] = unit <= 0xFF ? static_cast<char>(unit) : '?';
  }
  return produced;
}

std::int32_t disk_at_end(FileSlot& slot) noexcept {
  CrtStream* stream = slot.stream.get();
  if (stream == nullptr) return -1;
  // 64-bit positions, so that logs beyond 2 GiB end where they end.
  const bool consumed = stream->tell() >= slot.size;
  if (slot.mode == mode_binary || slot.mode == mode_random) return consumed ? -1 : 0;
  // A read that failed ends the input: reading on would fail again and again.
  if (stream->at_eof() || stream->has_error()) return -1;
  if (slot.mode != mode_input) return 0;
  // Without a length, the end is where the next read delivers nothing.
  if (!stream->length_known()) return stream->peek() == -1 ? -1 : 0;
  return consumed ? -1 : 0;
}

std::int32_t disk_close(FileSlot& slot) noexcept {
  if (slot.stream == nullptr) return illegal_function_call;
  const int result = slot.stream->close();
  slot.stream.reset();
  return result == 0 ? ok : file_io_error;
}

std::int32_t disk_seek(FileSlot& slot, std::int64_t offset, std::int32_t origin) noexcept {
  if (slot.stream == nullptr) return illegal_function_call;
  return seek_stream(*slot.stream, offset, origin) == 0 ? ok : file_io_error;
}

std::int32_t disk_tell(FileSlot& slot, std::int64_t* position) noexcept {
  if (slot.stream == nullptr) return illegal_function_call;
  if (slot.stream->get_position(*position) != 0) *position = -1;
  return ok;
}

std::int32_t disk_flush(FileSlot& slot) noexcept {
  if (slot.stream == nullptr) return illegal_function_call;
  (void)slot.stream->flush();  // a failure stays on the stream and is reported by close
  return ok;
}

std::int32_t disk_lock(FileSlot& slot, std::int64_t offset, std::int64_t length) noexcept {
  if (slot.stream == nullptr || length == 0) return illegal_function_call;
  return slot.stream->lock(offset & low_32_bits, length & low_32_bits) == 0 ? ok : file_io_error;
}

std::int32_t disk_unlock(FileSlot& slot, std::int64_t offset, std::int64_t length) noexcept {
  if (slot.stream == nullptr || length == 0) return illegal_function_call;
  return slot.stream->unlock(offset & low_32_bits, length & low_32_bits) == 0 ? ok : file_io_error;
}

std::int32_t disk_read(FileSlot& slot, char* buffer, std::int32_t* count) noexcept {
  if (slot.stream == nullptr) return illegal_function_call;
  const std::size_t wanted = static_cast<std::size_t>(std::max(*count, 0));
  const std::size_t got = slot.stream->read(buffer, wanted);
  std::memset(buffer + got, 0, wanted - got);
  *count = static_cast<std::int32_t>(got);
  return ok;
}

std::int32_t disk_read_wide(FileSlot& slot, char16_t* buffer, std::int32_t* count) noexcept {
  if (slot.stream == nullptr) return illegal_function_call;
  const std::size_t wanted = static_cast<std::size_t>(std::max(*count, 0));
  std::size_t done = 0;
  bool ended = false;  // a zero byte ends the converted text; units behind it are zero
  char bytes[wide_step];
  while (done < wanted) {
    const std::size_t got = slot.stream->read(bytes, std::min(wide_step, wanted - done));
    if (got == 0) break;
    widen_bytes(bytes, ended ? 0 : got, buffer + done, got);
    ended = ended || std::memchr(bytes, '\0', got) != nullptr;
    done += got;
  }
  std::fill(buffer + done, buffer + wanted, u'\0');
  *count = static_cast<std::int32_t>(done);
  return ok;
}

std::int32_t disk_write(FileSlot& slot, const char* bytes, std::int32_t length) noexcept {
  if (slot.stream == nullptr) return illegal_function_call;
  const std::size_t wanted = static_cast<std::size_t>(std::max(length, 0));
  return slot.stream->write(bytes, wanted) == wanted ? ok : file_io_error;
}

std::int32_t disk_write_wide(FileSlot& slot, const char16_t* chars, std::int32_t length) noexcept {
  if (slot.stream == nullptr) return illegal_function_call;
  char bytes[wide_step];
  std::int32_t index = 0;
  while (index < length) {
    const std::size_t produced = narrow_units(chars, length, index, bytes);
    if (slot.stream->write(bytes, produced) != produced) return file_io_error;
  }
  return ok;
}

std::int32_t disk_read_line(FileSlot& slot, Text& destination) noexcept {
  if (slot.stream == nullptr) return illegal_function_call;
  return read_stream_line(*slot.stream, destination);
}

std::int32_t disk_read_line_wide(FileSlot& slot, char16_t* destination, std::int32_t size) noexcept {
  if (slot.stream == nullptr) return illegal_function_call;
  if (size <= 0) return ok;
  Text line;
  const std::int32_t result = read_stream_line(*slot.stream, line);
  const std::string_view bytes = line.view();
  widen_bytes(bytes.data(), bytes.size(), destination, static_cast<std::size_t>(size));
  destination[std::min<std::size_t>(bytes.size(), static_cast<std::size_t>(size) - 1)] = u'\0';
  return result;
}

}  // namespace

constexpr DeviceOps disk_device_ops{
    .at_end = disk_at_end,
    .close = disk_close,
    .seek = disk_seek,
    .tell = disk_tell,
    .read = disk_read,
    .read_wide = disk_read_wide,
    .write = disk_write,
    .write_wide = disk_write_wide,
    .lock = disk_lock,
    .unlock = disk_unlock,
    .read_line = disk_read_line,
    .read_line_wide = disk_read_line_wide,
    .reserved = nullptr,
    .flush = disk_flush,
};

std::int32_t seek_stream(CrtStream& stream, std::int64_t offset, std::int32_t origin) noexcept {
  std::int64_t base = 0;
  switch (origin) {
    case 0: break;
    case 1:
      if (stream.get_position(base) != 0) return -1;
      break;
    case 2:
      (void)stream.flush();  // the system's length must include what is buffered
      if (stream.length(base) != 0) return -1;
      break;
    default: errno = EINVAL; return -1;
  }
  return stream.set_position(base + offset) == 0 ? 0 : -1;
}

}  // namespace lumetra
