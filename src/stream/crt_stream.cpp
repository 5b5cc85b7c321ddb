// The buffered file stream, with text-mode reading done on the buffered
// bytes so that positions stay file bytes. The system calls below it are in
// stream_calls.h.
#include "stream/crt_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "system/file_io.h"
#include "system/memory.h"
#include "system/stream_calls.h"

namespace lumetra {

namespace {

constexpr char ctrl_z = '\x1A';

struct ModeEntry {
  std::string_view text;
  OpenFlags flags;
  bool text_mode;
};

constexpr ModeEntry mode_table[] = {
    {"rb", {.read = true}, false},
    {"rt", {.read = true}, true},
    {"wb", {.write = true, .create = true, .truncate = true}, false},
    {"ab", {.write = true, .create = true, .append = true}, false},
    {"r+b", {.read = true, .write = true}, false},
    {"w+b", {.read = true, .write = true, .create = true, .truncate = true}, false},
};

const ModeEntry* find_mode(std::string_view text) noexcept {
  for (const ModeEntry& entry : mode_table) {
    if (entry.text == text) return &entry;
  }
  return nullptr;
}

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

// ---- Life cycle -------------------------------------------------------------

CrtStream::CrtStream(CrtStream&& other) noexcept { *this = std::move(other); }

CrtStream& CrtStream::operator=(CrtStream&& other) noexcept {
  if (this == &other) return *this;
  (void)close();  // a stream replaced by assignment has nobody to report to
  fd_ = std::exchange(other.fd_, -1);
  text_ = other.text_;
  append_ = other.append_;
  readable_ = other.readable_;
  writable_ = other.writable_;
  eof_ = other.eof_;
  error_ = other.error_;
  output_lost_ = other.output_lost_;
  direction_ = other.direction_;
  last_error_ = other.last_error_;
  identity_ = other.identity_;
  regular_ = other.regular_;
  atomic_write_size_ = other.atomic_write_size_;
  length_at_open_ = other.length_at_open_;
  buffer_ = std::move(other.buffer_);
  buffer_size_ = std::exchange(other.buffer_size_, crt_stream_buffer_size);
  pos_ = other.pos_;
  end_ = other.end_;
  buffer_offset_ = other.buffer_offset_;
  ctrl_z_free_ = other.ctrl_z_free_;
  other.release();
  return *this;
}

CrtStream::~CrtStream() { (void)close(); }

void CrtStream::BufferRelease::operator()(char* buffer) const noexcept { memory_free(buffer); }

int CrtStream::open(const char* path, std::string_view mode) noexcept {
  (void)close();
  const ModeEntry* entry = find_mode(mode);
  if (entry == nullptr) return fail(EINVAL);
  if (buffer_ == nullptr) {
    buffer_.reset(static_cast<char*>(memory_allocate(crt_stream_buffer_size)));
    if (buffer_ == nullptr) return fail(ENOMEM);
    buffer_size_ = crt_stream_buffer_size;
  }
  if (const int error = system_open(path, entry->flags, fd_, identity_); error != 0) return fail(error);
  regular_ = system_is_regular(fd_);
  atomic_write_size_ = system_atomic_write_size(fd_);
  if (!regular_ || system_length(fd_, length_at_open_) != 0) length_at_open_ = 0;
  text_ = entry->text_mode;
  append_ = entry->flags.append;
  readable_ = entry->flags.read;
  writable_ = entry->flags.write;
  last_error_ = 0;
  // An append stream reports the end of the file as its position from the
  // start; any other starts where the file stands (a shared open file need
  // not stand at its start).
  const int unknown = append_ ? system_seek(fd_, 0, true, buffer_offset_) : system_position(fd_, buffer_offset_);
  if (unknown != 0) buffer_offset_ = 0;
  return 0;
}

int CrtStream::reopen(const char* path, std::string_view mode) noexcept {
  const ModeEntry* entry = find_mode(mode);
  const bool same_access = entry != nullptr && entry->flags.read == readable_ && entry->flags.write == writable_ &&
                           entry->flags.append == append_;
  if (fd_ == -1 || regular_ || !same_access) return open(path, mode);
  text_ = entry->text_mode;
  return 0;
}

int CrtStream::close() noexcept {
  if (fd_ == -1) return 0;
  int result = direction_ == Direction::Writing ? write_out() : 0;
  if (error_ && result == 0) result = EIO;
  if (const int error = system_close(fd_); error != 0 && result == 0) result = error;
  release();
  return result;
}

void CrtStream::release() noexcept {
  fd_ = -1;
  text_ = append_ = readable_ = writable_ = eof_ = error_ = output_lost_ = false;
  direction_ = Direction::None;
  restart_buffer(0);
  identity_ = {};
  regular_ = false;
  atomic_write_size_ = 0;
  length_at_open_ = 0;
}

// The buffer holds nothing and starts at a new file position: what was known
// of its bytes no longer holds.
void CrtStream::restart_buffer(std::int64_t offset) noexcept {
  buffer_offset_ = offset;
  pos_ = end_ = 0;
  ctrl_z_free_ = {};
}

int CrtStream::fail(int error) noexcept {
  last_error_ = error;
  return error;
}

// ---- Reading ---------------------------------------------------------------

bool CrtStream::begin_reading() noexcept {
  if (fd_ == -1 || !readable_) {
    error_ = true;
    fail(EBADF);
    return false;
  }
  if (direction_ == Direction::Writing && write_out() != 0) return false;
  direction_ = Direction::Reading;
  return true;
}

// Makes at least `wanted` unread bytes available, keeping the unread ones.
bool CrtStream::fill(std::size_t wanted) noexcept {
  const std::size_t kept = end_ - pos_;
  if (pos_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + pos_, kept);
    buffer_offset_ += static_cast<std::int64_t>(pos_);
    pos_ = 0;
    end_ = kept;
  }
  while (end_ < wanted) {
    std::size_t got = 0;
    const int error = file_io_read(fd_, buffer_.get() + end_, buffer_size_ - end_, got);
    if (error == 0 && got == 0 && buffer_offset_ + static_cast<std::int64_t>(end_) >= length_at_open_) {
      eof_ = true;
      return false;
    }
    if (error != 0 || got == 0) {
      error_ = true;
      fail(error != 0 ? error : EIO);  // a regular file cut short while read
      return false;
    }
    end_ += got;
  }
  return true;
}

std::size_t CrtStream::take(char* out, std::size_t size, bool stop_after_lf) noexcept {
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

// Text mode at a CR or Ctrl+Z: a CR LF pair gives its LF (taken on the next
// round), a lone CR is delivered, Ctrl+Z ends the input. False at the end.
bool CrtStream::take_text_special(char* out, std::size_t& done) noexcept {
  if (buffer_[pos_] == ctrl_z) {
    eof_ = true;
    return false;
  }
  const bool pair = (end_ - pos_ >= 2 || fill(2)) && buffer_[pos_ + 1] == '\n';
  if (!pair) out[done++] = '\r';
  ++pos_;
  return true;
}

std::size_t CrtStream::read(void* buffer, std::size_t count) noexcept {
  return take(static_cast<char*>(buffer), count, false);
}

std::int32_t CrtStream::gets(char* buffer, std::int32_t size) noexcept {
  if (size <= 0) return 0;
  const std::size_t got = size == 1 ? 0 : take(buffer, static_cast<std::size_t>(size) - 1, true);
  buffer[got] = '\0';
  return static_cast<std::int32_t>(got);
}

bool CrtStream::take_buffered_line(std::string_view& line, std::size_t zeros_within) noexcept {
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

std::string_view CrtStream::buffered_lines() noexcept {
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

void CrtStream::skip_buffered(std::size_t count) noexcept { pos_ += std::min(count, end_ - pos_); }

int CrtStream::set_buffer_size(std::size_t size) noexcept {
  const bool holds_bytes = direction_ == Direction::Writing ? end_ != 0 : pos_ != end_;
  if (fd_ == -1 || holds_bytes || size < crt_stream_smallest_buffer) return fail(EINVAL);
  if (size == buffer_size_) return 0;
  char* const replacement = static_cast<char*>(memory_allocate(size));
  if (replacement == nullptr) return fail(ENOMEM);
  buffer_.reset(replacement);
  buffer_size_ = size;
  restart_buffer(tell());
  return 0;
}

// The buffered bytes are scanned for Ctrl+Z once and the range of the file
// found free of it is kept, so the many lines of one buffer need no scan of
// their own (the bytes of the file do not change under a reading stream). The
// range holds only while the buffer follows on from where it was found:
// restart_buffer forgets it.
bool CrtStream::next_bytes_free_of_ctrl_z(std::size_t length) noexcept {
  const std::int64_t first = buffer_offset_ + static_cast<std::int64_t>(pos_);
  if (first >= ctrl_z_free_.first && first + static_cast<std::int64_t>(length) <= ctrl_z_free_.last) return true;
  const char* start = buffer_.get() + pos_;
  const auto* found = static_cast<const char*>(std::memchr(start, ctrl_z, end_ - pos_));
  const std::size_t free = found != nullptr ? static_cast<std::size_t>(found - start) : end_ - pos_;
  ctrl_z_free_ = {first, first + static_cast<std::int64_t>(free)};
  return length <= free;
}

int CrtStream::peek() noexcept {
  if (!begin_reading() || (pos_ == end_ && !fill(1))) return -1;
  const char next = buffer_[pos_];
  if (!text_ || (next != '\r' && next != ctrl_z)) return static_cast<unsigned char>(next);
  if (next == ctrl_z) {
    eof_ = true;
    return -1;
  }
  const bool pair = (end_ - pos_ >= 2 || fill(2)) && buffer_[pos_ + 1] == '\n';
  return pair ? '\n' : '\r';
}

// ---- Writing ---------------------------------------------------------------

int CrtStream::drop_read_ahead() noexcept {
  const std::int64_t position = buffer_offset_ + static_cast<std::int64_t>(pos_);
  std::int64_t reached = position;
  const int error = end_ != pos_ ? system_seek(fd_, position, false, reached) : 0;
  if (error != 0) return fail(error);
  restart_buffer(position);
  return 0;
}

bool CrtStream::begin_writing() noexcept {
  if (output_lost_) return false;
  if (fd_ == -1 || !writable_) {
    error_ = true;
    fail(EBADF);
    return false;
  }
  if (direction_ == Direction::Reading && drop_read_ahead() != 0) {
    error_ = true;
    return false;
  }
  direction_ = Direction::Writing;
  return true;
}

// Writes bytes to the file at the stream's position. On failure the rest
// is dropped and the error indicator is set, so that close() reports the
// loss. Returns how many were written.
std::size_t CrtStream::write_through(const char* bytes, std::size_t count) noexcept {
  std::size_t written = 0;
  while (written < count) {
    std::size_t put = 0;
    const int error = file_io_write(fd_, bytes + written, count - written, put);
    if (error != 0 || put == 0) {
      fail(error != 0 ? error : EIO);
      error_ = output_lost_ = true;
      break;
    }
    written += put;
  }
  buffer_offset_ += static_cast<std::int64_t>(written);
  return written;
}

// Writes the buffered bytes; they are dropped on failure.
int CrtStream::write_out() noexcept {
  const std::size_t buffered = end_;
  end_ = 0;
  return write_through(buffer_.get(), buffered) == buffered ? 0 : last_error_;
}

std::size_t CrtStream::write(const void* bytes, std::size_t count) noexcept {
  if (!begin_writing()) return 0;
  const char* source = static_cast<const char*>(bytes);
  // Nothing buffered and enough to fill the buffer: straight to the file,
  // as the C library does with large writes; the bytes are the same.
  if (end_ == 0 && count >= buffer_size_) return write_through(source, count);
  std::size_t done = 0;
  while (done < count) {
    if (end_ == buffer_size_ && write_out() != 0) break;
    const std::size_t step = std::min(buffer_size_ - end_, count - done);
    std::memcpy(buffer_.get() + end_, source + done, step);
    end_ += step;
    done += step;
  }
  return done;
}

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

int CrtStream::flush() noexcept {
  if (fd_ == -1) return fail(EBADF);
  return direction_ == Direction::Writing ? write_out() : 0;
}

void CrtStream::stop_blocking() noexcept {
  if (fd_ != -1) system_stop_blocking(fd_);
}

// ---- Positions, length, locks ----------------------------------------------

std::int64_t CrtStream::tell() const noexcept {
  if (fd_ == -1) return -1;
  const std::size_t offset = direction_ == Direction::Writing ? end_ : pos_;
  return buffer_offset_ + static_cast<std::int64_t>(offset);
}

int CrtStream::get_position(std::int64_t& position) noexcept {
  if (fd_ == -1) return fail(EBADF);
  position = tell();
  return 0;
}

int CrtStream::set_position(std::int64_t position) noexcept {
  if (fd_ == -1) return fail(EBADF);
  if (position < 0) return fail(EINVAL);
  if (direction_ == Direction::Writing && write_out() != 0) return last_error_;
  eof_ = false;
  const std::int64_t buffered_end = buffer_offset_ + static_cast<std::int64_t>(end_);
  if (direction_ == Direction::Reading && position >= buffer_offset_ && position <= buffered_end) {
    pos_ = static_cast<std::size_t>(position - buffer_offset_);  // inside the read-ahead: no system call
    return 0;
  }
  std::int64_t reached = 0;
  if (const int error = system_seek(fd_, position, false, reached); error != 0) return fail(error);
  direction_ = Direction::None;
  restart_buffer(position);
  return 0;
}

int CrtStream::length(std::int64_t& length) noexcept {
  if (fd_ == -1) return fail(EBADF);
  const int error = system_length(fd_, length);
  return error == 0 ? 0 : fail(error);
}

int CrtStream::lock(std::int64_t offset, std::int64_t length) noexcept {
  if (fd_ == -1) return fail(EBADF);
  const int result = system_lock(fd_, writable_ ? LockKind::Exclusive : LockKind::Shared, offset, length);
  return result == 0 ? 0 : fail(result);
}

int CrtStream::unlock(std::int64_t offset, std::int64_t length) noexcept {
  if (fd_ == -1) return fail(EBADF);
  const int result = system_lock(fd_, LockKind::Unlock, offset, length);
  return result == 0 ? 0 : fail(result);
}

}  // namespace lumetra
