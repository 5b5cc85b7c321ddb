// The text reader on real files: text-mode conversion and its positions,
// fgets-style reading, peeking, and the lines at hand in the buffer after
// seeking back.
#include "stream/text_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "stream/crt_stream.h"
#include "stream_reading.h"
#include "support/temp_folder.h"

namespace lumetra {
namespace {

TEST(TextReader, TextModeTurnsCrLfIntoLfAndEndsAtCtrlZ) {
  const std::string boundary_pair = std::string(crt_stream_buffer_size - 1, 'a') + "\r\nb";
  struct Case {
    const char* name;
    std::string file;
    std::string delivered;
  } cases[] = {
      {"pairs", "ab\r\ncd\r\n", "ab\ncd\n"},
      {"lone CR inside", "a\rb\n", "a\rb\n"},
      {"lone CR last", "ab\r", "ab\r"},
      {"CR before a pair", "a\r\r\nb", "a\r\nb"},
      {"Ctrl+Z ends the input",
       "ab\r\ncd\x1A"
       "ef\r\n",
       "ab\ncd"},
      {"CR before Ctrl+Z", "ab\r\x1A", "ab\r"},
      {"zero bytes", std::string("a\0b\r\n\0", 6), std::string("a\0b\n\0", 5)},
      {"pair across a refill", boundary_pair, std::string(crt_stream_buffer_size - 1, 'a') + "\nb"},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder.write("text", c.file);
    for (std::int32_t size : {2, 3, 512, 20000}) {
      CrtStream stream;
      ASSERT_EQ(stream.open(path.c_str(), "rt"), 0);
      EXPECT_EQ(read_all_with_gets(stream, size), c.delivered) << "gets size " << size;
      EXPECT_TRUE(stream.at_eof());
    }
    for (std::size_t step : {1u, 7u, 100000u}) {
      CrtStream stream;
      ASSERT_EQ(stream.open(path.c_str(), "rt"), 0);
      EXPECT_EQ(read_all_with_read(stream, step), c.delivered) << "read step " << step;
    }
    CrtStream binary;
    ASSERT_EQ(binary.open(path.c_str(), "rb"), 0);
    EXPECT_EQ(read_all_with_read(binary, 4096), c.file);
  }
}

TEST(TextReader, TextModePositionsCountFileBytes) {
  TempFolder folder;
  const std::string path = folder.write("lines",
                                        "ab\r\ncd\r\n\x1A"
                                        "rest");
  CrtStream stream;
  ASSERT_EQ(stream.open(path.c_str(), "rt"), 0);
  char line[16];
  EXPECT_EQ(stream.gets(line, sizeof line), 3);
  EXPECT_STREQ(line, "ab\n");
  EXPECT_EQ(stream.tell(), 4);
  EXPECT_EQ(stream.gets(line, sizeof line), 3);
  EXPECT_EQ(stream.tell(), 8);
  EXPECT_FALSE(stream.at_eof());
  EXPECT_EQ(stream.gets(line, sizeof line), 0);
  EXPECT_STREQ(line, "");
  EXPECT_TRUE(stream.at_eof());
  EXPECT_EQ(stream.tell(), 8) << "the Ctrl+Z byte stays unread";
  std::int64_t length = 0;
  ASSERT_EQ(stream.length(length), 0);
  EXPECT_EQ(length, 13);
}

TEST(TextReader, GetsStopsAfterLineFeedOrFullBufferAndCountsBytes) {
  TempFolder folder;
  const std::string path = folder.write("gets", "abcdef\nxy");
  CrtStream stream;
  ASSERT_EQ(stream.open(path.c_str(), "rb"), 0);
  char buffer[5];
  EXPECT_EQ(stream.gets(buffer, 5), 4);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(stream.gets(buffer, 5), 3);
  EXPECT_STREQ(buffer, "ef\n");
  EXPECT_FALSE(stream.at_eof());
  EXPECT_EQ(stream.gets(buffer, 5), 2);
  EXPECT_STREQ(buffer, "xy");
  EXPECT_TRUE(stream.at_eof());
  EXPECT_EQ(stream.gets(buffer, 5), 0);
}

TEST(TextReader, PeekShowsTheNextDeliveredByteWithoutTakingIt) {
  TempFolder folder;
  const std::string path = folder.write("peek", "\r\nx\r");
  CrtStream stream;
  ASSERT_EQ(stream.open(path.c_str(), "rt"), 0);
  EXPECT_EQ(stream.peek(), '\n');
  EXPECT_EQ(stream.peek(), '\n');
  char byte = 0;
  ASSERT_EQ(stream.read(&byte, 1), 1u);
  EXPECT_EQ(byte, '\n');
  ASSERT_EQ(stream.read(&byte, 1), 1u);
  EXPECT_EQ(stream.peek(), '\r');
  ASSERT_EQ(stream.read(&byte, 1), 1u);
  EXPECT_EQ(stream.peek(), -1);
  EXPECT_TRUE(stream.at_eof());
}

// The lines at hand after going back to bytes read before: only those that
// the buffer holds now, also when it has become smaller meanwhile.
TEST(TextReader, BufferedLinesAfterSeekingBackStayInTheBuffer) {
  std::string lines;
  for (int n = 0; n < 3000; ++n) lines += "line " + std::to_string(1000 + n) + "\n";
  TempFolder folder;
  const std::string path = folder.write("lines", lines);
  constexpr std::size_t buffer = crt_stream_buffer_size;
  std::string skipped(buffer, '\0');
  {
    SCOPED_TRACE("the same buffer, further on");
    CrtStream stream;
    ASSERT_EQ(stream.open(path.c_str(), "rt"), 0);
    ASSERT_EQ(stream.read(skipped.data(), buffer), buffer);
    ASSERT_NE(stream.peek(), -1);
    ASSERT_FALSE(stream.buffered_lines().empty());  // the second buffer's bytes, scanned
    ASSERT_EQ(stream.set_position(100), 0);
    ASSERT_EQ(stream.read(skipped.data(), buffer - 100), buffer - 100);
    const std::string_view at_hand = std::string_view(lines).substr(buffer, 100);
    EXPECT_EQ(stream.buffered_lines(), at_hand.substr(0, at_hand.rfind('\n') + 1));
  }
  {
    SCOPED_TRACE("a smaller buffer");
    CrtStream stream;
    ASSERT_EQ(stream.open(path.c_str(), "rt"), 0);
    ASSERT_EQ(stream.read(skipped.data(), 10), 10u);
    ASSERT_FALSE(stream.buffered_lines().empty());  // the rest of the first buffer, scanned
    ASSERT_EQ(stream.read(skipped.data(), buffer - 10), buffer - 10);
    ASSERT_EQ(stream.set_buffer_size(crt_stream_smallest_buffer), 0);
    ASSERT_EQ(stream.set_position(10), 0);
    ASSERT_NE(stream.peek(), -1);
    EXPECT_EQ(stream.buffered_lines(), "line 1001\n");
  }
}

}  // namespace
}  // namespace lumetra
