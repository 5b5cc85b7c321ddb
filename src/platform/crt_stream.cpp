// The buffered file stream over a POSIX file descriptor, with text-mode
// reading done on the buffered bytes so that positions stay file bytes.
#include "platform/crt_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/file_io.h"
#include "platform/memory.h"

namespace lumetra {

namespace {

constexpr char ctrl_z = '\x1A';

struct ModeEntry {
  std::string_view text;
  int flags;
  bool text_mode;
  bool append;
  bool readable;
  bool writable;
};

constexpr ModeEntry mode_table[] = {
    {"rb", O_RDONLY, false, false, true, false},
    {"rt", O_RDONLY, true, false, true, false},
    {"wb", O_WRONLY | O_CREAT | O_TRUNC, false, false, false, true},
    {"ab", O_WRONLY | O_CREAT | O_APPEND, false, true, false, true},
    {"r+b", O_RDWR, false, false, true, true},
    {"w+b", O_RDWR | O_CREAT | O_TRUNC, false, false, true, true},
};

const ModeEntry* find_mode(std::string_view text) noexcept {
  for (const ModeEntry& entry : mode_table) {
    if (entry.text == text) return &entry;
  }
  return nullptr;
}

// Repeats a system call that a signal interrupted. Never used for close():
// the descriptor is gone after an interrupted close on Linux.
template <typename Call>
auto retry_on_interrupt(Call call) noexcept {
  auto result = call();
  while (result == -1 && errno == EINTR) result = call();
  return result;
}

FileIdentity identity_of(const struct stat& info) noexcept {
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

int set_lock(int fd, short type, std::int64_t offset, std::int64_t length) noexcept {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = static_cast<off_t>(offset);
  range.l_len = static_cast<off_t>(length);
  if (retry_on_interrupt([&] { return ::fcntl(fd, F_SETLK, &range); }) == -1) return errno;
  return 0;
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

// Locks a regular file for writing and empties it. A lock held by another
// open stream refuses the file (EBUSY) before anything is lost; where the
// system has no such locks, the file is emptied all the same.
int lock_and_empty(int fd) noexcept {
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  if (retry_on_interrupt([&] { return ::fcntl(fd, F_OFD_SETLK, &whole); }) == -1 &&
      (errno == EAGAIN || errno == EACCES)) {
    return EBUSY;
  }
  return ::ftruncate(fd, 0) == -1 ? errno : 0;
}

}  // namespace

int path_identity(const char* path, FileIdentity& identity) noexcept {
  struct stat info {};
  if (retry_on_interrupt([&] { return ::stat(path, &info); }) == -1) return errno;
  identity = identity_of(info);
  return 0;
}

bool is_standard_output_file(const char* path) noexcept {
  struct stat file {};
  if (::stat(path, &file) == -1 || !S_ISREG(file.st_mode)) return false;
  for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
    struct stat stream {};
    if (::fstat(fd, &stream) == 0 && identity_of(stream) == identity_of(file)) return true;
  }
  return false;
}

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
  length_at_open_ = other.length_at_open_;
  buffer_ = std::move(other.buffer_);
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
  }
  // Emptied only once the lock is held: see lock_and_empty.
  const bool empties = (entry->flags & O_TRUNC) != 0;
  const int fd = retry_on_interrupt([&] { return ::open(path, (entry->flags & ~O_TRUNC) | O_CLOEXEC, 0666); });
  if (fd == -1) return fail(errno);
  struct stat info {};
  int error = ::fstat(fd, &info) == -1 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
  if (error == 0 && empties && S_ISREG(info.st_mode)) error = lock_and_empty(fd);
  if (error != 0) {
    ::close(fd);
    return fail(error);
  }
  if (empties) info.st_size = 0;
  fd_ = fd;
  text_ = entry->text_mode;
  append_ = entry->append;
  readable_ = entry->readable;
  writable_ = entry->writable;
  identity_ = identity_of(info);
  regular_ = S_ISREG(info.st_mode);
  length_at_open_ = regular_ ? static_cast<std::int64_t>(info.st_size) : 0;
  last_error_ = 0;
  // An append stream reports the end of the file as its position from the start.
  buffer_offset_ = append_ ? ::lseek(fd_, 0, SEEK_END) : 0;
  if (buffer_offset_ < 0) buffer_offset_ = 0;
  return 0;
}

int CrtStream::reopen(const char* path, std::string_view mode) noexcept {
  const ModeEntry* entry = find_mode(mode);
  const bool same_access =
      entry != nullptr && entry->readable == readable_ && entry->writable == writable_ && entry->append == append_;
  if (fd_ == -1 || regular_ || !same_access) return open(path, mode);
  text_ = entry->text_mode;
  return 0;
}

int CrtStream::close() noexcept {
  if (fd_ == -1) return 0;
  int result = direction_ == Direction::Writing ? write_out() : 0;
  if (error_ && result == 0) result = EIO;
  // Don't retry close on EINTR: Linux has released the descriptor already.
  if (::close(fd_) == -1 && result == 0) result = errno;
  release();
  return result;
}

void CrtStream::release() noexcept {
  fd_ = -1;
  text_ = append_ = readable_ = writable_ = eof_ = error_ = output_lost_ = false;
  direction_ = Direction::None;
  pos_ = end_ = 0;
  buffer_offset_ = 0;
  ctrl_z_free_ = {};
  identity_ = {};
  regular_ = false;
  length_at_open_ = 0;
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
    const ssize_t got = file_io_read(fd_, buffer_.get() + end_, crt_stream_buffer_size - end_);
    if (got == 0 && buffer_offset_ + static_cast<std::int64_t>(end_) >= length_at_open_) {
      eof_ = true;
      return false;
    }
    if (got <= 0) {
      error_ = true;
      fail(got == 0 ? EIO : errno);  // a regular file cut short while read
      return false;
    }
    end_ += static_cast<std::size_t>(got);
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
  for (int i = 0; i < 2 && length > 0 && start[length - 1] == '\r'; ++i) --length;
  line = {start, length};
  return true;
}

// The buffered bytes are scanned for Ctrl+Z once and the range of the file
// found free of it is kept, so the many lines of one buffer need no scan of
// their own (the bytes of the file do not change under a reading stream).
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
  if (end_ != pos_ && ::lseek(fd_, position, SEEK_SET) == -1) return fail(errno);
  buffer_offset_ = position;
  pos_ = end_ = 0;
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
    const ssize_t put = file_io_write(fd_, bytes + written, count - written);
    if (put <= 0) {
      fail(put == 0 ? EIO : errno);
      error_ = output_lost_ = true;
      break;
    }
    written += static_cast<std::size_t>(put);
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
  if (end_ == 0 && count >= crt_stream_buffer_size) return write_through(source, count);
  std::size_t done = 0;
  while (done < count) {
    if (end_ == crt_stream_buffer_size && write_out() != 0) break;
    const std::size_t step = std::min(crt_stream_buffer_size - end_, count - done);
    std::memcpy(buffer_.get() + end_, source + done, step);
    end_ += step;
    done += step;
  }
  return done;
}

bool CrtStream::write_lines(const char* bytes, std::size_t count) noexcept {
  if (!begin_writing() || (end_ != 0 && write_out() != 0)) return false;
  const std::int64_t start = buffer_offset_;
  const std::size_t written = write_through(bytes, count);
  if (written == count) return true;
  cut_back_to_line_end(start, {bytes, written});
  return false;
}

// A pipe or a device cannot be cut back; what reached it stays.
void CrtStream::cut_back_to_line_end(std::int64_t start, std::string_view written) noexcept {
  const std::size_t line_end = written.rfind('\n');
  const std::int64_t end = start + static_cast<std::int64_t>(line_end == written.npos ? 0 : line_end + 1);
  if (regular_ && ::ftruncate(fd_, end) == 0 && ::lseek(fd_, end, SEEK_SET) == end) buffer_offset_ = end;
}

int CrtStream::flush() noexcept {
  if (fd_ == -1) return fail(EBADF);
  return direction_ == Direction::Writing ? write_out() : 0;
}

void CrtStream::stop_blocking() noexcept {
  const int flags = fd_ == -1 ? -1 : ::fcntl(fd_, F_GETFL);
  if (flags != -1) (void)::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
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
  if (::lseek(fd_, position, SEEK_SET) == -1) return fail(errno);
  direction_ = Direction::None;
  buffer_offset_ = position;
  pos_ = end_ = 0;
  return 0;
}

int CrtStream::length(std::int64_t& length) noexcept {
  if (fd_ == -1) return fail(EBADF);
  struct stat info {};
  if (::fstat(fd_, &info) == -1) return fail(errno);
  length = static_cast<std::int64_t>(info.st_size);
  return 0;
}

int CrtStream::lock(std::int64_t offset, std::int64_t length) noexcept {
  if (fd_ == -1) return fail(EBADF);
  const int result = set_lock(fd_, writable_ ? F_WRLCK : F_RDLCK, offset, length);
  return result == 0 ? 0 : fail(result);
}

int CrtStream::unlock(std::int64_t offset, std::int64_t length) noexcept {
  if (fd_ == -1) return fail(EBADF);
  const int result = set_lock(fd_, F_UNLCK, offset, length);
  return result == 0 ? 0 : fail(result);
}

}  // namespace lumetra
