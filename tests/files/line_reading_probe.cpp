// Reads a file line by line through file number 1, as the conversion does,
// and prints how many lines and bytes it read: "<lines> <bytes>".
// Usage: line_reading_probe PATH
#include <cstdint>
#include <cstdio>

#include "files/file_slots.h"
#include "files/line_reader.h"

int main(int argc, char** argv) {
  using namespace lumetra;
  if (argc != 2) return 2;
  if (file_open(argv[1], mode_input, access_any, 0, 1, 0) != 0) return 1;
  Text line;
  std::int64_t lines = 0;
  std::int64_t bytes = 0;
  while (file_at_end(1) == 0) {
    (void)file_read_line(1, line);
    ++lines;
    bytes += line.size();
  }
  (void)file_close(1);
  std::printf("%lld %lld\n", static_cast<long long>(lines), static_cast<long long>(bytes));
  return 0;
}
