// Reads and writes of the stream's files with a fault-injection seam for
// tests.
#include "system/file_io.h"

#include <algorithm>

namespace lumetra {
namespace {

// Bytes that may still move before the transfers fail; negative: no limit.
struct TransferLimit {
  std::int64_t bytes = -1;
  int error = 0;
};

TransferLimit limits[2];

TransferLimit& limit_of(Transfer direction) noexcept { return limits[static_cast<int>(direction)]; }

// Shortens a transfer to what the limit allows; the limit's error when
// nothing may move any more.
int within_limit(Transfer direction, std::size_t& size) noexcept {
  const TransferLimit& limit = limit_of(direction);
  if (limit.bytes < 0 || size == 0) return 0;
  if (limit.bytes == 0) return limit.error;
  size = static_cast<std::size_t>(std::min<std::int64_t>(limit.bytes, static_cast<std::int64_t>(size)));
  return 0;
}

void count_transfer(Transfer direction, std::size_t moved) noexcept {
  TransferLimit& limit = limit_of(direction);
  if (limit.bytes > 0) limit.bytes -= static_cast<std::int64_t>(moved);
}

}  // namespace

int file_io_read(SystemFile file, void* buffer, std::size_t size, std::size_t& got) noexcept {
  got = 0;
  if (const int error = within_limit(Transfer::Read, size); error != 0) return error;
  const int error = system_read(file, buffer, size, got);
  count_transfer(Transfer::Read, got);
  return error;
}

int file_io_write(SystemFile file, const void* bytes, std::size_t size, std::size_t& put) noexcept {
  put = 0;
  if (const int error = within_limit(Transfer::Write, size); error != 0) return error;
  const int error = system_write(file, bytes, size, put);
  count_transfer(Transfer::Write, put);
  return error;
}

template <Transfer direction>
FailingTransfers<direction>::FailingTransfers(std::int64_t bytes, int error) noexcept
    : previous_bytes_(limit_of(direction).bytes), previous_error_(limit_of(direction).error) {
  limit_of(direction) = {bytes, error};
}

template <Transfer direction>
FailingTransfers<direction>::~FailingTransfers() {
  limit_of(direction) = {previous_bytes_, previous_error_};
}

template class FailingTransfers<Transfer::Read>;
template class FailingTransfers<Transfer::Write>;

}  // namespace lumetra
