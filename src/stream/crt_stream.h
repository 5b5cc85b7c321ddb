// The buffered file stream the file layer expects of a C runtime: byte-exact
// and text modes, full buffering, 64-bit positions, end-of-file and error
// indicators, record locks, and the identity of the open file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "system/file_identity.h"

namespace lumetra {

inline constexpr std::size_t crt_stream_buffer_size = 8192;
// A buffer holds at least a CR LF pair and a little more.
inline constexpr std::size_t crt_stream_smallest_buffer = 16;

// The text of a line whose bytes before its LF lie in a text-mode stream's
// buffer: without the CR of a CR LF pair and one lone CR before that, the
// bytes a line reader keeps of what the stream delivers.
[[nodiscard]] inline std::string_view buffered_line_text(std::string_view before_lf) noexcept {
  for (int i = 0; i < 2 && !before_lf.empty() && before_lf.back() == '\r'; ++i) before_lf.remove_suffix(1);
  return before_lf;
}

// A move-only stream over an open system file, fully buffered with
// crt_stream_buffer_size bytes unless set_buffer_size chose another size. Mode texts:
//   "rb"  read                    "wb"  write, created or emptied
//   "rt"  read in text mode       "ab"  write at the end, created
//   "r+b" read and write          "w+b" read and write, created or emptied
// Text mode delivers each CR LF pair of the file as one LF (also when the
// pair straddles a buffer refill), keeps a lone CR, and ends the input at a
// Ctrl+Z byte (0x1A), which stays unread. Positions are always file bytes.
// A regular file that "wb" or "w+b" empties or "ab" appends to is locked for
// writing first, for as long as the stream has it open and the process
// lives; a file that another open stream (of this or another process), or
// another process on the same open file, holds that way is refused with
// EBUSY, untouched. A stream starts at the position where its file stands,
// which is not the start for the shared open file of a standard stream.
// A path that names a directory cannot be opened in any mode (EISDIR).
// Operations that fail return the errno value (0 = success) and keep it in
// last_error(); reads and writes that fail also set the error indicator. A
// regular file whose input ends before the length it had at open was cut
// short while being read: that end is a failed read (EIO), not the end of
// the file.
class CrtStream {
 public:
  CrtStream() noexcept = default;
  CrtStream(const CrtStream&) = delete;
  CrtStream& operator=(const CrtStream&) = delete;
  CrtStream(CrtStream&& other) noexcept;
  CrtStream& operator=(CrtStream&& other) noexcept;
  // Closes without reporting; the result of close() is lost here.
  ~CrtStream();

  // Opens path with a mode text (above); closes what was open first.
  // Files are created with permissions 0666 less the umask.
  [[nodiscard]] int open(const char* path, std::string_view mode) noexcept;
  // Closes the stream and opens path anew with another mode text; the stream
  // stays closed when the open fails. A pipe or a device is not opened
  // again, which could lose what it delivers: for a mode of the same access
  // only the text mode changes.
  [[nodiscard]] int reopen(const char* path, std::string_view mode) noexcept;
  // Flushes and closes. Returns the errno of the final flush, or EIO when an
  // earlier read or write failed; the descriptor is closed in every case.
  int close() noexcept;
  [[nodiscard]] bool is_open() const noexcept { return fd_ != -1; }

  // Reads up to count bytes (converted in text mode); returns how many were
  // delivered. Fewer at the end of the input (end-of-file indicator set) or
  // on a failure (error indicator set).
  std::size_t read(void* buffer, std::size_t count) noexcept;
  // Reads like fgets: stops after an LF, at the end of the input, or after
  // size - 1 bytes, then adds a zero byte. Returns the number of bytes
  // delivered (0 = nothing: end of input or failure; the buffer then holds
  // an empty string). Zero bytes of the file are delivered like any other.
  std::int32_t gets(char* buffer, std::int32_t size) noexcept;
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
  // The bytes read ahead into the buffer and not delivered yet, as the file
  // holds them (text mode not applied); empty when there are none. The view
  // lives until the next operation on the stream.
  [[nodiscard]] std::string_view unread_bytes() const noexcept {
    return direction_ == Direction::Reading ? std::string_view(buffer_.get() + pos_, end_ - pos_) : std::string_view();
  }
  // The byte the next read would deliver, without taking it; -1 at the end
  // of the input or on a failure.
  int peek() noexcept;
  // Writes count bytes through the buffer; returns how many were taken. A
  // failing flush sets the error indicator and drops the buffered bytes.
  // After a failed write the stream takes no more output, so that nothing
  // lands in the file behind the bytes that were lost.
  std::size_t write(const void* bytes, std::size_t count) noexcept;
  // Writes whole lines (the bytes end with an LF) straight to the file, the
  // buffered bytes first. When the file takes only part of them (a full
  // disk, a size limit), a regular file is cut back to the end of the last
  // whole line that reached it. A pipe gets them in writes that it takes
  // whole or not at all, each ending with a line (a line longer than such a
  // write goes in pieces), so that its reader never gets part of a line when
  // the writing stops. True when all were written.
  [[nodiscard]] bool write_lines(const char* bytes, std::size_t count) noexcept;
  // Writes out the buffered bytes; 0 or the errno value.
  int flush() noexcept;
  // From now on reads and writes that would wait (a pipe that nobody reads)
  // fail instead. Async-signal-safe.
  void stop_blocking() noexcept;

  // setvbuf: the size of the buffer (at least crt_stream_smallest_buffer),
  // for an open stream whose buffer holds no bytes (before the first read or
  // write). 0 or the errno value (EINVAL when the buffer holds bytes or the
  // size is too small, ENOMEM: the buffer stays as it was).
  [[nodiscard]] int set_buffer_size(std::size_t size) noexcept;

  // The current position in file bytes; -1 when closed.
  [[nodiscard]] std::int64_t tell() const noexcept;
  // fgetpos / fsetpos: 0 or the errno value. Setting the position flushes
  // pending output and clears the end-of-file indicator.
  [[nodiscard]] int get_position(std::int64_t& position) noexcept;
  [[nodiscard]] int set_position(std::int64_t position) noexcept;
  // The length of the open file as the system reports it (pending output
  // not counted); 0 or the errno value.
  [[nodiscard]] int length(std::int64_t& length) noexcept;

  // Record locks over a byte range (exclusive on a writable stream, shared
  // otherwise); they never wait. 0 or the errno value.
  [[nodiscard]] int lock(std::int64_t offset, std::int64_t length) noexcept;
  [[nodiscard]] int unlock(std::int64_t offset, std::int64_t length) noexcept;

  [[nodiscard]] bool at_eof() const noexcept { return eof_; }
  [[nodiscard]] bool has_error() const noexcept { return error_; }
  [[nodiscard]] int last_error() const noexcept { return last_error_; }
  // The identity of the open file, taken at open.
  [[nodiscard]] FileIdentity identity() const noexcept { return identity_; }
  // True for a regular file that reported a length above 0 at open. Pipes,
  // devices and files that report no length (as in /proc) deliver bytes
  // until a read meets their end.
  [[nodiscard]] bool length_known() const noexcept { return length_at_open_ > 0; }
  // The length the regular file had when it was first opened, for a stream
  // that opened it again: input that ends before it is a failed read.
  void expect_length(std::int64_t length) noexcept {
    if (regular_) length_at_open_ = length;
  }

 private:
  enum class Direction : std::uint8_t { None, Reading, Writing };

  std::size_t take(char* out, std::size_t size, bool stop_after_lf) noexcept;
  bool take_text_special(char* out, std::size_t& done) noexcept;
  bool fill(std::size_t wanted) noexcept;
  bool begin_reading() noexcept;
  bool begin_writing() noexcept;
  std::size_t write_through(const char* bytes, std::size_t count) noexcept;
  std::size_t write_in_whole_lines(const char* bytes, std::size_t count) noexcept;
  void cut_back_to_line_end(std::int64_t start, std::string_view written) noexcept;
  bool next_bytes_free_of_ctrl_z(std::size_t length) noexcept;
  int write_out() noexcept;
  int drop_read_ahead() noexcept;
  void restart_buffer(std::int64_t offset) noexcept;
  int fail(int error) noexcept;
  void release() noexcept;

  int fd_ = -1;
  bool text_ = false;
  bool append_ = false;
  bool readable_ = false;
  bool writable_ = false;
  bool eof_ = false;
  bool error_ = false;
  bool output_lost_ = false;  // a write failed
  Direction direction_ = Direction::None;
  int last_error_ = 0;
  FileIdentity identity_;
  bool regular_ = false;               // a regular file, which can be opened again
  std::size_t atomic_write_size_ = 0;  // a pipe: the most bytes it takes whole
  std::int64_t length_at_open_ = 0;    // regular files only; else 0
  struct BufferRelease {
    void operator()(char* buffer) const noexcept;
  };
  std::unique_ptr<char[], BufferRelease> buffer_;
  std::size_t buffer_size_ = crt_stream_buffer_size;
  // Reading: bytes [pos_, end_) of the buffer are unread. Writing: bytes
  // [0, end_) wait to be written. buffer_offset_ is the file position of the
  // buffer's first byte.
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::int64_t buffer_offset_ = 0;
  // File positions [first, last) known to hold no Ctrl+Z (text mode).
  struct FileRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
  };
  FileRange ctrl_z_free_;
};

}  // namespace lumetra
