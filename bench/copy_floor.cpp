// The floor any converter stands on: read the source into the program's own
// memory and write as many bytes as the converter's target holds, doing
// nothing else, as fast as the machine allows. Reads the source in 1 MiB
// blocks with read(2) and reads every byte once (summed a machine word at a
// time, which the compiler turns into vector adds); writes RATIO times as
// many bytes in 1 MiB blocks with write(2), filled at memset's speed. With
// RATIO the converter's target size over its source size, the reads and
// writes are the converter's. With --untouched the bytes read are left
// alone: the plain read/write copy that the floor is measured against.
//
// Usage: copy_floor SOURCE TARGET RATIO [--untouched]
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "write_all.h"

namespace {

constexpr std::size_t block_size = 1 << 20;

// Every byte read once: the bytes summed as 64-bit words, the tail alone.
std::uint64_t sum_bytes(const unsigned char* bytes, std::size_t count) {
  std::uint64_t sum = 0;
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes + i, 8);
    sum += word;
  }
  for (; i < count; ++i) sum += bytes[i];
  return sum;
}

// Writes count bytes of the fill in blocks of at most block_size.
bool write_filled(int fd, unsigned char* block, std::uint64_t count, int fill) {
  while (count > 0) {
    const std::size_t step = count < block_size ? static_cast<std::size_t>(count) : block_size;
    std::memset(block, fill, step);
    if (!write_all(fd, block, step)) return false;
    count -= step;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const bool touched = argc == 4;
  if (argc != 4 && (argc != 5 || std::strcmp(argv[4], "--untouched") != 0)) {
    std::fprintf(stderr, "usage: copy_floor SOURCE TARGET RATIO [--untouched]\n");
    return 64;
  }
  const double ratio = std::strtod(argv[3], nullptr);
  const int in = ::open(argv[1], O_RDONLY);
  const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (in == -1 || out == -1 || !(ratio > 0.0)) {
    std::perror("copy_floor");
    return 1;
  }
  // Blocks at page boundaries, as the file's blocks are: the system copies
  // between pages at the same offsets (a heap block, 16 bytes into its page,
  // costs the copy about a fifth more system time).
  alignas(4096) static unsigned char input[block_size];
  alignas(4096) static unsigned char output[block_size];
  std::uint64_t sum = 0;
  std::uint64_t read_total = 0;
  std::uint64_t written = 0;  // output bytes written so far
  for (;;) {
    const ssize_t got = ::read(in, input, block_size);
    if (got < 0) return 1;
    if (got == 0) break;
    if (touched) sum += sum_bytes(input, static_cast<std::size_t>(got));
    read_total += static_cast<std::uint64_t>(got);
    // Whole output blocks as they fall due; the rest at the end.
    const auto due = static_cast<std::uint64_t>(static_cast<double>(read_total) * ratio);
    const std::uint64_t whole = (due - written) / block_size * block_size;
    if (!write_filled(out, output, whole, static_cast<int>(sum))) return 1;
    written += whole;
  }
  const auto due = static_cast<std::uint64_t>(static_cast<double>(read_total) * ratio);
  if (!write_filled(out, output, due - written, static_cast<int>(sum))) return 1;
  // The sum is used, so the reading cannot be left out.
  return ::close(out) == 0 && sum != 1 ? 0 : 1;
}
