// Reads and writes of open files, with a seam through which tests make them
// fail after a number of bytes, the way a failing disk or a full one does.
#pragma once

#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace lumetra {

// One read() or write(), repeated when a signal interrupts it: the count
// transferred (a write may be short), 0 at the end of the input, or -1 with
// errno set. Async-signal-safe.
ssize_t file_io_read(int fd, void* buffer, std::size_t size) noexcept;
ssize_t file_io_write(int fd, const void* bytes, std::size_t size) noexcept;

enum class Transfer : std::uint8_t { Read, Write };

// While it lives, reads (or writes) move `bytes` more bytes in all and then
// fail with `error`: the call that reaches the limit is cut short there.
template <Transfer direction>
class FailingTransfers {
 public:
  explicit FailingTransfers(std::int64_t bytes, int error = EIO) noexcept;
  ~FailingTransfers();
  FailingTransfers(const FailingTransfers&) = delete;
  FailingTransfers& operator=(const FailingTransfers&) = delete;

 private:
  std::int64_t previous_bytes_;
  int previous_error_;
};

using FailingReads = FailingTransfers<Transfer::Read>;
using FailingWrites = FailingTransfers<Transfer::Write>;

}  // namespace lumetra
