// Reading a byte stream through its buffer: the bytes as the file holds
// them, or in text mode, and the lines at hand in the buffer taken without
// copying, for the line reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "stream/byte_stream.h"

namespace lumetra {

// The text of a line whose bytes before its LF lie in a text-mode stream's
// buffer: without the CR of a CR LF pair and one lone CR before that, the
// bytes a line reader keeps of what the stream delivers.
[[nodiscard]] inline std::string_view buffered_line_text(std::string_view before_lf) noexcept {
  for (int i = 0; i < 2 && !before_lf.empty() && before_lf.back() == '\r'; ++i) before_lf.remove_suffix(1);
  return before_lf;
}

// Text mode ("rt") delivers each CR LF pair of the file as one LF (also when
// the pair straddles a buffer refill), keeps a lone CR, and ends the input
// at a Ctrl+Z byte (0x1A), which stays unread; the other modes deliver the
// bytes as they are.
class TextReader : public ByteStream {
 public:
  // Reads up to count bytes (converted in text mode); returns how many were
  // delivered. Fewer at the end of the input (end-of-file indicator set) or
  // on a failure (error indicator set).
  std::size_t read(void* buffer, std::size_t count) noexcept;
  // Reads like fgets: stops after an LF, at the end of the input, or after
  // size - 1 bytes, then adds a zero byte. Returns the number of bytes
  // delivered (0 = nothing: end of input or failure; the buffer then holds
  // an empty string). Zero bytes of the file are delivered like any other.
  std::int32_t gets(char* buffer, std::int32_t size) noexcept;
  // The byte the next read would deliver, without taking it; -1 at the end
  // of the input or on a failure.
  int peek() noexcept;

  // The next line of a text-mode stream that has begun reading, when it lies
  // whole in the buffer: its bytes before the LF, without the CR of a CR LF
  // pair and without one lone CR before that (the bytes a line reader keeps
  // of what gets delivers), taken without copying. False, with nothing taken,
  // when the line is not whole in the buffer, holds a Ctrl+Z, or holds a zero
  // byte and is delivered (its LF included) as more than `zeros_within`
  // bytes. The view lives until the next operation on the stream.
  [[nodiscard]] bool take_buffered_line(std::string_view& line, std::size_t zeros_within) noexcept;
  // The whole lines at hand in the buffer of a text-mode stream that has
  // begun reading, for a reader that splits them itself: the bytes from the
  // read position up to and including the last LF, as long as they hold no
  // Ctrl+Z and no zero byte (the lines from the first such byte on are left
  // to take_buffered_line and the line reader); empty when there are none.
  // Nothing is taken: skip_buffered takes the bytes of the lines used. The
  // view lives until the next operation on the stream.
  [[nodiscard]] std::string_view buffered_lines() noexcept;
  void skip_buffered(std::size_t count) noexcept;

 private:
  std::size_t take(char* out, std::size_t size, bool stop_after_lf) noexcept;
  bool take_text_special(char* out, std::size_t& done) noexcept;
  // True when the CR at the read position is followed by LF (read for it).
  bool cr_pairs_with_lf() noexcept;
  bool next_bytes_free_of_ctrl_z(std::size_t length) noexcept;

  // File positions [first, last) known to hold no Ctrl+Z (text mode), found
  // in the buffer's start of that number.
  struct FileRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
    std::uint64_t buffer_start = 0;
  };
  FileRange ctrl_z_free_;
};

}  // namespace lumetra
