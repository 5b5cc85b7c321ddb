// The floor any converter stands on: read the source into the program's own
// memory and write the records out, doing nothing else. Reads the source in
// 1 MiB blocks with read(2), touches every byte read once (sums it), and for
// each block writes RATIO times as many bytes to a new file with write(2),
// touching every byte written once (fills it). With RATIO the converter's
// target size over its source size, the write pattern is the converter's.
//
// Usage: copy_floor SOURCE TARGET RATIO
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

constexpr std::size_t block_size = 1 << 20;

bool write_all(int fd, const unsigned char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t done = ::write(fd, bytes, count);
    if (done <= 0) return false;
    bytes += done;
    count -= static_cast<std::size_t>(done);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: copy_floor SOURCE TARGET RATIO\n");
    return 64;
  }
  const double ratio = std::strtod(argv[3], nullptr);
  const int in = ::open(argv[1], O_RDONLY);
  const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (in == -1 || out == -1 || !(ratio > 0.0)) {
    std::perror("copy_floor");
    return 1;
  }
  const auto input = std::make_unique<unsigned char[]>(block_size);
  const auto output = std::make_unique<unsigned char[]>(static_cast<std::size_t>(block_size * ratio) + 1);
  std::uint64_t sum = 0;
  double owed = 0.0;  // output bytes due, carried between blocks
  for (;;) {
    const ssize_t got = ::read(in, input.get(), block_size);
    if (got < 0) return 1;
    if (got == 0) break;
    for (ssize_t i = 0; i < got; ++i) sum += input[static_cast<std::size_t>(i)];
    owed += static_cast<double>(got) * ratio;
    const auto count = static_cast<std::size_t>(owed);
    owed -= static_cast<double>(count);
    for (std::size_t i = 0; i < count; ++i) output[i] = static_cast<unsigned char>(sum + i);
    if (!write_all(out, output.get(), count)) return 1;
  }
  // The sum is used, so the reading loop cannot be left out.
  return ::close(out) == 0 && sum != 1 ? 0 : 1;
}
