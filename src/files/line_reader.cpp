// The end-of-file test and line reading: the chunked reader for streams and
// the byte-at-a-time reader for devices without their own line reading.
#include "files/line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "files/files_internal.h"
#include "runtime/runtime_error.h"

namespace lumetra {

namespace {

constexpr std::int32_t generic_chunk_size = 1024;

struct ChunkEnd {
  std::size_t text_length;  // bytes of the chunk that belong to the line
  bool line_ended;
};

// Appends bytes to the text; false (text unchanged) when memory runs out or
// the text would grow beyond the most a text holds.
bool append_bytes(Text& destination, std::string_view bytes) noexcept {
  if (bytes.empty()) return true;
  TextDescriptor& own = destination.descriptor();
  const std::uint32_t length = own.length & text_length_mask;
  // The source may lie in the destination's own buffer, which may move.
  const bool inside = own.data != nullptr && bytes.data() >= own.data && bytes.data() < own.data + length;
  const std::ptrdiff_t offset = inside ? bytes.data() - own.data : 0;
  const std::uint64_t total = std::uint64_t{length} + bytes.size();
  if (total > text_length_mask || !reserve_text_keeping(own, static_cast<std::uint32_t>(total))) return false;
  std::memmove(own.data + length, inside ? own.data + offset : bytes.data(), bytes.size());
  own.length = length + static_cast<std::uint32_t>(bytes.size());
  own.data[own.length] = '\0';
  return true;
}

// The first chunk of a line replaces the destination's text, later ones are
// appended; an empty first chunk leaves the empty text. A line that does not
// fit leaves the empty text and false.
bool store_chunk(Text& destination, std::string_view bytes, bool first) noexcept {
  if (first && bytes.empty()) {
    release_text(destination);
    return true;
  }
  if (first) destination.descriptor().length = 0;
  if (append_bytes(destination, bytes)) return true;
  release_text(destination);
  return false;
}

// Where the line stands after a chunk of `length` bytes. A chunk without a
// line end loses the zero bytes at its end (the padding that a logger losing
// power leaves behind). A CR as its last byte then ends the line, unless it
// is the last byte of a full chunk: that one ends the line only when the
// input ends behind it or an LF follows (taken along), and else stays inside.
ChunkEnd chunk_end(CrtStream& stream, const char* chunk, std::size_t length) noexcept {
  constexpr std::size_t full_chunk = line_chunk_size - 1;
  if (chunk[length - 1] == '\n') {
    const bool pair = length >= 2 && chunk[length - 2] == '\r';
    return {length - 1 - (pair ? 1 : 0), true};
  }
  std::size_t kept = length;
  while (kept > 0 && chunk[kept - 1] == '\0') --kept;
  if (kept == 0 || chunk[kept - 1] != '\r') return {kept, false};
  if (kept < full_chunk) return {kept - 1, true};  // zero bytes or the end of the input behind the CR
  const int next = stream.peek();
  if (next == '\n') {
    char line_feed;
    (void)stream.read(&line_feed, 1);
  }
  return next == '\n' || next == -1 ? ChunkEnd{kept - 1, true} : ChunkEnd{kept, false};
}

bool slot_at_end(FileSlot& slot) noexcept {
  if (slot.ops == nullptr || slot.ops->at_end == nullptr) return true;
  return slot.put_back_count != 0 ? false : slot.ops->at_end(slot) != 0;
}

bool get_byte(FileSlot& slot, char& byte) noexcept {
  std::int32_t count = 1;
  return file_get(slot, 0, &byte, &count, false, false) == 0 && count == 1;
}

// Reads byte by byte up to LF, CR (a byte after the CR other than LF is
// handed back), the end of the device or a read that delivers nothing.
// False when the line does not fit.
bool read_line_by_bytes(FileSlot& slot, Text& destination) noexcept {
  char chunk[generic_chunk_size];
  std::size_t used = 0;
  bool first = true;
  char byte = 0;
  while (!slot_at_end(slot) && get_byte(slot, byte) && byte != '\n') {
    if (byte == '\r') {
      char next = 0;
      if (!slot_at_end(slot) && get_byte(slot, next) && next != '\n') (void)file_put_back(slot, &next, 1);
      break;
    }
    chunk[used++] = byte;
    if (used == sizeof chunk) {
      if (!store_chunk(destination, {chunk, used}, first)) return false;
      first = false;
      used = 0;
    }
  }
  return store_chunk(destination, {chunk, used}, first);
}

std::int32_t read_line_into(FileSlot& slot, Text& destination) noexcept {
  constexpr std::int32_t out_of_memory = error_code(RuntimeError::OutOfMemory);
  if (slot.ops->read_line != nullptr) {
    // The end and read failures are not errors of a line read; a line that does not fit is.
    return slot.ops->read_line(slot, destination) == out_of_memory ? out_of_memory : 0;
  }
  if (slot.ops->read == nullptr || slot.ops->at_end == nullptr) return error_code(RuntimeError::IllegalFunctionCall);
  return read_line_by_bytes(slot, destination) ? 0 : out_of_memory;
}

// The stream of an input disk file whose next bytes come from its buffer:
// not at its end, nothing handed back.
CrtStream* unread_input_stream(FileNumber number) noexcept {
  FileSlot* slot = slot_for_number(number);
  if (slot == nullptr || slot->ops != &disk_device_ops || slot->mode != mode_input) return nullptr;
  if (slot->put_back_count != 0 || slot->ops->at_end(*slot) != 0) return nullptr;
  return slot->stream.get();
}

FileSlot* open_slot_for(FileNumber number) noexcept {
  FileSlot* slot = slot_for_number(number);
  return slot != nullptr && slot->ops != nullptr ? slot : nullptr;
}

}  // namespace

// ---- Lines -------------------------------------------------------------------

std::int32_t file_at_end(FileNumber number) noexcept {
  FileSlot* slot = slot_for_number(number);
  return slot == nullptr || slot_at_end(*slot) ? -1 : 0;
}

bool file_read_failed(FileNumber number) noexcept {
  const FileSlot* slot = slot_for_number(number);
  return slot != nullptr && slot->stream != nullptr && slot->stream->has_error();
}

std::int32_t file_read_line(FileNumber number, Text& destination) noexcept {
  FileSlot* slot = open_slot_for(number);
  if (slot == nullptr) return set_error_number(RuntimeError::IllegalFunctionCall);
  return set_error_number(read_line_into(*slot, destination));
}

bool file_take_buffered_line(FileNumber number, std::string_view& line) noexcept {
  CrtStream* stream = unread_input_stream(number);
  return stream != nullptr && stream->take_buffered_line(line, line_chunk_size - 1);
}

std::string_view file_buffered_lines(FileNumber number) noexcept {
  CrtStream* stream = unread_input_stream(number);
  return stream != nullptr ? stream->buffered_lines() : std::string_view();
}

void file_skip_buffered(FileNumber number, std::size_t count) noexcept {
  if (CrtStream* stream = unread_input_stream(number)) stream->skip_buffered(count);
}

std::int32_t file_set_read_buffer(FileNumber number, std::size_t size) noexcept {
  FileSlot* slot = slot_for_number(number);
  if (slot == nullptr || slot->ops != &disk_device_ops || slot->mode != mode_input)
    return set_error_number(RuntimeError::IllegalFunctionCall);
  const int error = slot->stream->set_buffer_size(size);
  if (error == 0) return set_error_number(RuntimeError::None);
  return set_error_number(error == ENOMEM ? RuntimeError::OutOfMemory : RuntimeError::IllegalFunctionCall);
}

std::int32_t file_read_line(FileNumber number, std::span<char> destination, bool fill) noexcept {
  FileSlot* slot = open_slot_for(number);
  if (slot == nullptr) return set_error_number(RuntimeError::IllegalFunctionCall);
  Text line;
  const std::int32_t result = read_line_into(*slot, line);
  if (result == 0 && !destination.empty()) {
    destination[0] = '\0';
    (void)append_text(destination, line, fill);
  }
  return set_error_number(result);
}

std::int32_t read_stream_line(CrtStream& stream, Text& destination) noexcept {
  set_error_number(RuntimeError::None);
  // The usual line lies whole in the stream's buffer: take it from there
  // instead of gathering it in chunks; the text is the same.
  std::string_view line;
  if (stream.take_buffered_line(line, line_chunk_size - 1)) {
    return store_chunk(destination, line, true) ? 0 : set_error_number(RuntimeError::OutOfMemory);
  }
  char chunk[line_chunk_size];
  for (bool first = true;; first = false) {
    const std::int32_t got = stream.gets(chunk, line_chunk_size);
    const ChunkEnd end = got == 0 ? ChunkEnd{0, false} : chunk_end(stream, chunk, static_cast<std::size_t>(got));
    // A line that a failing read cut short is not a line of the file.
    if (got == 0 || stream.has_error()) {
      if (first || stream.has_error()) release_text(destination);
      return set_error_number(RuntimeError::FileIoError);
    }
    if (!store_chunk(destination, {chunk, end.text_length}, first)) return set_error_number(RuntimeError::OutOfMemory);
    if (end.line_ended) return 0;
  }
}

// ---- Appending ---------------------------------------------------------------

Text& append_text(Text& destination, TextArg source) noexcept {
  (void)append_bytes(destination, source.view());
  return destination;
}

std::span<char> append_text(std::span<char> destination, TextArg source, bool fill) noexcept {
  if (destination.empty()) return destination;
  const std::size_t room = destination.size() - 1;
  const void* zero = std::memchr(destination.data(), '\0', room);
  const std::size_t held =
      zero != nullptr ? static_cast<std::size_t>(static_cast<const char*>(zero) - destination.data()) : room;
  const std::string_view bytes = source.view();
  const std::size_t kept = std::min(bytes.size(), room - held);
  if (kept != 0) std::memmove(destination.data() + held, bytes.data(), kept);
  const std::size_t end = held + kept;
  std::fill(destination.begin() + static_cast<std::ptrdiff_t>(end),
            fill ? destination.end() : destination.begin() + static_cast<std::ptrdiff_t>(end) + 1, '\0');
  return destination;
}

}  // namespace lumetra
