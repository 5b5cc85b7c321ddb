// The line writer: whole lines straight to the file, and a file that takes
// only part of them cut back to its last whole line.
#include "stream/crt_stream.h"

#include <algorithm>

#include "system/stream_calls.h"

namespace lumetra {

bool CrtStream::write_lines(const char* bytes, std::size_t count) noexcept {
  if (!begin_writing() || (end_ != 0 && write_out() != 0)) return false;
  const std::int64_t start = buffer_offset_;
  const std::size_t written =
      atomic_write_size_ != 0 ? write_in_whole_lines(bytes, count) : write_through(bytes, count);
  if (written == count) return true;
  cut_back_to_line_end(start, {bytes, written});
  return false;
}

// Each write as many whole lines as the pipe takes whole; a longer line
// alone.
std::size_t CrtStream::write_in_whole_lines(const char* bytes, std::size_t count) noexcept {
  std::size_t written = 0;
  while (written < count) {
    const std::string_view rest(bytes + written, count - written);
    std::size_t piece = rest.size();
    if (piece > atomic_write_size_) {
      const std::size_t last_end = rest.substr(0, atomic_write_size_).rfind('\n');
      piece = last_end != std::string_view::npos ? last_end + 1 : std::min(rest.find('\n'), piece - 1) + 1;
    }
    const std::size_t put = write_through(rest.data(), piece);
    written += put;
    if (put != piece) break;
  }
  return written;
}

// A pipe or a device cannot be cut back; what reached it stays.
void CrtStream::cut_back_to_line_end(std::int64_t start, std::string_view written) noexcept {
  const std::size_t line_end = written.rfind('\n');
  const std::int64_t end = start + static_cast<std::int64_t>(line_end == std::string_view::npos ? 0 : line_end + 1);
  std::int64_t reached = 0;
  if (regular_ && system_truncate(fd_, end) == 0 && system_seek(fd_, end, false, reached) == 0) buffer_offset_ = end;
}

}  // namespace lumetra
