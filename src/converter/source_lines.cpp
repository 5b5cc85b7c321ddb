// The source's lines as the conversion reads them.
#include "converter/source_lines.h"

#include <algorithm>

namespace lumetra {

std::int32_t SourceLines::read_header(Text& line) noexcept {
  keep_next_start();
  const std::int32_t error = file_read_line(source_, line);
  if (error == 0 && !file_read_failed(source_)) lines_taken_ = 1;
  return error;
}

std::int64_t SourceLines::number_of(std::string_view line) const noexcept {
  // The lines before it in the batch each end with their LF.
  return lines_taken_ + 1 + std::count(batch_, line.data(), '\n');
}

std::string_view SourceLines::next_start() const noexcept {
  return start_number_ == next_number() ? std::string_view(start_, start_length_) : std::string_view();
}

// The next line when no whole line is at hand in the buffer.
SourceLines::Next SourceLines::read_next_line(Text& text, std::string_view& line) noexcept {
  if (file_take_buffered_line(source_, line)) return Next::Line;
  if (file_at_end(source_)) return Next::End;
  keep_next_start();
  if (file_read_line(source_, text) != 0) return Next::TooLong;
  if (file_read_failed(source_)) return Next::End;
  line = text.view();
  return Next::Line;
}

// Keeps the start of the line about to be read, as the buffer holds it (an
// empty buffer is filled first), for the line that reading it may fail on.
void SourceLines::keep_next_start() noexcept {
  start_length_ = 0;
  start_number_ = next_number();
  FileSlot* slot = slot_for_number(source_);
  if (slot == nullptr || slot->stream == nullptr) return;
  if (slot->stream->unread_bytes().empty()) (void)slot->stream->peek();
  std::string_view start = slot->stream->unread_bytes().substr(0, start_size);
  start = start.substr(0, std::min(start.find('\n'), start.find('\x1a')));
  std::copy(start.begin(), start.end(), start_);
  start_length_ = start.size();
}

}  // namespace lumetra
