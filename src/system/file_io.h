// Reads and writes of the stream's files, with a seam through which tests
// make them fail after a number of bytes, the way a failing disk or a full
// one does.
#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "system/stream_calls.h"

namespace lumetra {

// system_read and system_write, as long as the seam lets the bytes through.
// Async-signal-safe.
[[nodiscard]] int file_io_read(SystemFile file, void* buffer, std::size_t size, std::size_t& got) noexcept;
[[nodiscard]] int file_io_write(SystemFile file, const void* bytes, std::size_t size, std::size_t& put) noexcept;

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
