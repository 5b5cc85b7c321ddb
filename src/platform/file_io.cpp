// Reads and writes of open files with a fault-injection seam for tests.
#include "platform/file_io.h"

#include <unistd.h>

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

// Shortens a transfer to what the limit allows; false (errno set) when
// nothing may move any more.
bool within_limit(Transfer direction, std::size_t& size) noexcept {
  TransferLimit& limit = limit_of(direction);
  if (limit.bytes < 0 || size == 0) return true;
  if (limit.bytes == 0) {
    errno = limit.error;
    return false;
  }
  size = static_cast<std::size_t>(std::min<std::int64_t>(limit.bytes, static_cast<std::int64_t>(size)));
  return true;
}

void count_transfer(Transfer direction, ssize_t moved) noexcept {
  TransferLimit& limit = limit_of(direction);
  if (limit.bytes > 0 && moved > 0) limit.bytes -= moved;
}

}  // namespace

ssize_t file_io_read(int fd, void* buffer, std::size_t size) noexcept {
  if (!within_limit(Transfer::Read, size)) return -1;
  ssize_t got = 0;
  do {
    got = ::read(fd, buffer, size);
  } while (got == -1 && errno == EINTR);
  count_transfer(Transfer::Read, got);
  return got;
}

ssize_t file_io_write(int fd, const void* bytes, std::size_t size) noexcept {
  if (!within_limit(Transfer::Write, size)) return -1;
  ssize_t put = 0;
  do {
    put = ::write(fd, bytes, size);
  } while (put == -1 && errno == EINTR);
  count_transfer(Transfer::Write, put);
  return put;
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
