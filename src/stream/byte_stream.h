// The byte stream under the C runtime's stream: an open system file in one
// of the runtime's modes, its buffer, positions in file bytes, end-of-file
// and error indicators, record locks and the identity of the open file.
// Reading through the buffer is the text reader's (text_reader.h), writing
// whole lines the line writer's (crt_stream.h).
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

// A move-only stream over an open system file, fully buffered with
// crt_stream_buffer_size bytes unless set_buffer_size chose another size. Mode texts:
//   "rb"  read                    "wb"  write, created or emptied
//   "rt"  read in text mode       "ab"  write at the end, created
//   "r+b" read and write          "w+b" read and write, created or emptied
// Positions are always file bytes, in text mode too.
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
class ByteStream {
 public:
  ByteStream() noexcept = default;
  ByteStream(const ByteStream&) = delete;
  ByteStream& operator=(const ByteStream&) = delete;
  ByteStream(ByteStream&& other) noexcept;
  ByteStream& operator=(ByteStream&& other) noexcept;
  // Closes without reporting; the result of close() is lost here.
  ~ByteStream();

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

  // Writes count bytes through the buffer; returns how many were taken. A
  // failing flush sets the error indicator and drops the buffered bytes.
  // After a failed write the stream takes no more output, so that nothing
  // lands in the file behind the bytes that were lost.
  std::size_t write(const void* bytes, std::size_t count) noexcept;
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
  // The bytes read ahead into the buffer and not delivered yet, as the file
  // holds them (text mode not applied); empty when there are none. The view
  // lives until the next operation on the stream.
  [[nodiscard]] std::string_view unread_bytes() const noexcept {
    return direction_ == Direction::Reading ? std::string_view(buffer_.get() + pos_, end_ - pos_) : std::string_view();
  }

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

 protected:
  // ---- For the reader and the writer above: the buffer and its file --------
  enum class Direction : std::uint8_t { None, Reading, Writing };

  // Turns the stream to reading (pending output written out first); false,
  // with the error indicator set, when it cannot read.
  bool begin_reading() noexcept;
  // Makes at least `wanted` unread bytes available, keeping the unread ones;
  // false at the end of the input (end-of-file indicator set) or on a
  // failure (error indicator set).
  bool fill(std::size_t wanted) noexcept;
  // Turns the stream to writing (read-ahead dropped); false when it cannot
  // write or lost output before.
  bool begin_writing() noexcept;
  // Writes bytes to the file at the stream's position, past the buffer. On
  // failure the rest is dropped and the error indicator is set, so that
  // close() reports the loss. Returns how many were written.
  std::size_t write_through(const char* bytes, std::size_t count) noexcept;
  // Writes the buffered bytes; they are dropped on failure.
  int write_out() noexcept;
  // Keeps the errno value as last_error() and returns it.
  int fail(int error) noexcept;
  // Counts the times the buffer started anew (another file, another
  // position): what was found in the buffered bytes holds only within one.
  [[nodiscard]] std::uint64_t buffer_starts() const noexcept { return buffer_starts_; }

  int fd_ = -1;
  bool text_ = false;
  bool eof_ = false;
  bool error_ = false;
  Direction direction_ = Direction::None;
  bool regular_ = false;               // a regular file, which can be opened again
  std::size_t atomic_write_size_ = 0;  // a pipe: the most bytes it takes whole
  struct BufferRelease {
    void operator()(char* buffer) const noexcept;
  };
  std::unique_ptr<char[], BufferRelease> buffer_;
  // Reading: bytes [pos_, end_) of the buffer are unread, bytes [lead_,
  // pos_) were read, the lead_ bytes before them hold nothing. Writing: bytes
  // [0, end_) wait to be written. buffer_offset_ is the file position that
  // the buffer's first byte stands for.
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::int64_t buffer_offset_ = 0;

 private:
  [[nodiscard]] std::size_t lead_for(std::size_t kept) const noexcept;
  [[nodiscard]] std::size_t read_room() const noexcept;
  int drop_read_ahead() noexcept;
  void restart_buffer(std::int64_t offset) noexcept;
  void release() noexcept;

  bool append_ = false;
  bool readable_ = false;
  bool writable_ = false;
  bool output_lost_ = false;  // a write failed
  int last_error_ = 0;
  FileIdentity identity_;
  std::int64_t length_at_open_ = 0;  // regular files only; else 0
  std::size_t buffer_size_ = crt_stream_buffer_size;
  std::size_t lead_ = 0;
  std::uint64_t buffer_starts_ = 0;
};

}  // namespace lumetra
