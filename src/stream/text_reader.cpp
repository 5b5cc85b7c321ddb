// The text reader: reads through the byte stream's buffer, with text mode
// done on the buffered bytes so that positions stay file bytes.
#include "stream/text_reader.h"

#include <algorithm>
#include <cstring>

namespace lumetra {

namespace {

constexpr char ctrl_z = '\x1A';

// Bytes at the start of data that text mode delivers unchanged: everything
// before the first CR or Ctrl+Z.
std::size_t plain_text_prefix(const char* data, std::size_t length) noexcept {
  const void* cr = std::memchr(data, '\r', length);
  if (cr != nullptr) length = static_cast<std::size_t>(static_cast<const char*>(cr) - data);
  const void* end = std::memchr(data, ctrl_z, length);
  if (end != nullptr) length = static_cast<std::size_t>(static_cast<const char*>(end) - data);
  return length;
}

}  // namespace

std::size_t TextReader::take(char* out, std::size_t size, bool stop_after_lf) noexcept {
  if (!begin_reading()) return 0;
  std::size_t done = 0;
  while (done < size) {
    if (pos_ == end_ && !fill(1)) break;
    const char* start = buffer_.get() + pos_;
    std::size_t limit = std::min(end_ - pos_, size - done);
    bool line_end = false;
    if (stop_after_lf) {
      if (const void* lf = std::memchr(start, '\n', limit)) {
        limit = static_cast<std::size_t>(static_cast<const char*>(lf) - start) + 1;
        line_end = true;
      }
    }
    const std::size_t plain = text_ ? plain_text_prefix(start, limit) : limit;
    std::memcpy(out + done, start, plain);
    pos_ += plain;
    done += plain;
    if (plain < limit) {
      // The usual CR LF line end, both bytes at hand: deliver the LF without
      // another round of scanning.
      if (line_end && plain + 2 == limit && start[plain] == '\r') {
        out[done++] = '\n';
        pos_ += 2;
        break;
      }
      if (!take_text_special(out, done)) break;
    } else if (line_end) {
      break;
    }
  }
  return done;
}

bool TextReader::cr_pairs_with_lf() noexcept {
  return (end_ - pos_ >= 2 || fill(2)) && buffer_[pos_ + 1] == '\n';
}

// Text mode at a CR or Ctrl+Z: a CR LF pair gives its LF (taken on the next
// round), a lone CR is delivered, Ctrl+Z ends the input. False at the end.
bool TextReader::take_text_special(char* out, std::size_t& done) noexcept {
  if (buffer_[pos_] == ctrl_z) {
    eof_ = true;
    return false;
  }
  if (!cr_pairs_with_lf()) out[done++] = '\r';
  ++pos_;
  return true;
}

std::size_t TextReader::read(void* buffer, std::size_t count) noexcept {
  return take(static_cast<char*>(buffer), count, false);
}

std::int32_t TextReader::gets(char* buffer, std::int32_t size) noexcept {
  if (size <= 0) return 0;
  const std::size_t got = size == 1 ? 0 : take(buffer, static_cast<std::size_t>(size) - 1, true);
  buffer[got] = '\0';
  return static_cast<std::int32_t>(got);
}

bool TextReader::take_buffered_line(std::string_view& line, std::size_t zeros_within) noexcept {
  if (!text_ || direction_ != Direction::Reading) return false;
  const char* start = buffer_.get() + pos_;
  const void* lf = std::memchr(start, '\n', end_ - pos_);
  if (lf == nullptr) return false;
  std::size_t length = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
  if (!next_bytes_free_of_ctrl_z(length)) return false;
  // Delivered: the bytes without the CR of a CR LF pair, and the LF.
  const std::size_t delivered = length + (length > 0 && start[length - 1] == '\r' ? 0 : 1);
  if (delivered > zeros_within && std::memchr(start, '\0', length) != nullptr) return false;
  pos_ += length + 1;
  line = buffered_line_text({start, length});
  return true;
}

std::string_view TextReader::buffered_lines() noexcept {
  if (!text_ || direction_ != Direction::Reading || pos_ == end_) return {};
  (void)next_bytes_free_of_ctrl_z(0);
  const std::int64_t position = buffer_offset_ + static_cast<std::int64_t>(pos_);
  std::string_view bytes(buffer_.get() + pos_, static_cast<std::size_t>(ctrl_z_free_.last - position));
  // A line with a zero byte may fall under the reader's piece rule: only the
  // lines before it.
  bytes = bytes.substr(0, bytes.find('\0'));
  const std::size_t last_lf = bytes.rfind('\n');
  return last_lf != std::string_view::npos ? bytes.substr(0, last_lf + 1) : std::string_view();
}

void TextReader::skip_buffered(std::size_t count) noexcept { pos_ += std::min(count, end_ - pos_); }

// The buffered bytes are scanned for Ctrl+Z once and the range of the file
// found free of it is kept, so the many lines of one buffer need no scan of
// their own (the bytes of the file do not change under a reading stream). The
// range holds only while the buffer follows on from where it was found: a
// new start of the buffer forgets it.
bool TextReader::next_bytes_free_of_ctrl_z(std::size_t length) noexcept {
  if (ctrl_z_free_.buffer_start != buffer_starts()) ctrl_z_free_ = {.buffer_start = buffer_starts()};
  const std::int64_t first = buffer_offset_ + static_cast<std::int64_t>(pos_);
  if (first >= ctrl_z_free_.first && first + static_cast<std::int64_t>(length) <= ctrl_z_free_.last) return true;
  const char* start = buffer_.get() + pos_;
  const auto* found = static_cast<const char*>(std::memchr(start, ctrl_z, end_ - pos_));
  const std::size_t free = found != nullptr ? static_cast<std::size_t>(found - start) : end_ - pos_;
  ctrl_z_free_ = {first, first + static_cast<std::int64_t>(free), buffer_starts()};
  return length <= free;
}

int TextReader::peek() noexcept {
  if (!begin_reading() || (pos_ == end_ && !fill(1))) return -1;
  const char next = buffer_[pos_];
  if (!text_ || (next != '\r' && next != ctrl_z)) return static_cast<unsigned char>(next);
  if (next == ctrl_z) {
    eof_ = true;
    return -1;
  }
  return cr_pairs_with_lf() ? '\n' : '\r';
}

}  // namespace lumetra
