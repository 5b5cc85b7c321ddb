// The line writer on a real pipe: writes it takes whole, each ending with a
// line.
#include "stream/crt_stream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <string>
#include <string_view>

namespace lumetra {
namespace {

// A pipe in packet mode keeps each write apart: every write of lines is one
// the pipe takes whole and ends with a line, but for a line too long for one.
TEST(CrtStream, LinesReachAPipeInWritesItTakesWhole) {
  std::string lines;
  for (int n = 0; lines.size() < 3 * PIPE_BUF; ++n) lines += "record " + std::to_string(n) + "\r\n";
  const std::string long_line = std::string(2 * PIPE_BUF, 'x') + "\r\n";
  lines += long_line + "last\r\n";
  int ends[2];
  ASSERT_EQ(::pipe2(ends, O_DIRECT), 0);
  CrtStream stream;
  ASSERT_EQ(stream.open(("/dev/fd/" + std::to_string(ends[1])).c_str(), "wb"), 0);
  ::close(ends[1]);
  ASSERT_TRUE(stream.write_lines(lines.data(), lines.size()));
  ASSERT_EQ(stream.close(), 0);
  std::string received;
  char packet[4 * PIPE_BUF];
  while (const ssize_t got = ::read(ends[0], packet, sizeof packet)) {
    ASSERT_GT(got, 0);
    const std::string_view write(packet, static_cast<std::size_t>(got));
    EXPECT_LE(write.size(), PIPE_BUF);
    const bool in_long_line = long_line.find(write) != std::string::npos;
    EXPECT_TRUE(write.ends_with('\n') || in_long_line) << write;
    received += write;
  }
  ::close(ends[0]);
  EXPECT_EQ(received, lines);
}

}  // namespace
}  // namespace lumetra
