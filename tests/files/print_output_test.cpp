// Print output to real files: record items and line ends, the print column,
// print zones with and without a width, unopened numbers, full devices,
// random-access records and wide writes.
#include "files/print_output.h"

#include <gtest/gtest.h>

#include <string>

#include "files/file_test_support.h"
#include "system/file_io.h"

namespace lumetra {
namespace {

class PrintOutput : public FileLayerTest {
 protected:
  PrintOutput() { EXPECT_EQ(open_output(folder_.path("target.csv")), 0); }

  FileSlot& target() { return *slot_for_number(2); }
  // Everything written to the target so far.
  std::string written() {
    EXPECT_EQ(target().stream->flush(), 0);
    return folder_.read("target.csv");
  }
};

TEST_F(PrintOutput, RecordItemsMakeOneLineEndedByCrLf) {
  for (const char* item : {"$1;1;", "43200", ";", "1,5", ";", "2", ";", "3"}) print_text(2, item, ending_none);
  print_text(2, ";0", ending_line);
  EXPECT_EQ(error_number(), 0);
  EXPECT_EQ(written(), "$1;1;43200;1,5;2;3;0\r\n");
  EXPECT_EQ(target().column, 0u);
}

// A disk that takes only part of a write (full, or at its size limit): the
// file keeps the whole lines that reached it and takes nothing more, so that
// nothing lands behind the lost bytes.
TEST_F(PrintOutput, WholeLinesThatDoNotAllFitAreCutBackToTheLastLineEnd) {
  const std::string lines = "$1;1;1;2;3;4;0\r\n$1;1;5;6;7;8;0\r\n$1;1;9;10;11;12;0\r\n";
  const std::string first = "$1;1;0;0;0;0;0\r\n";
  for (const std::size_t room : {0u, 5u, 16u, 17u, 31u, 32u, 33u, 47u}) {
    SCOPED_TRACE(room);
    ASSERT_EQ(open_output(folder_.path("lines.csv"), 3), 0);
    ASSERT_EQ(file_write_lines(3, first), 0);
    {
      const FailingWrites full(static_cast<std::int64_t>(room), ENOSPC);
      EXPECT_EQ(file_write_lines(3, lines), 3);
    }
    EXPECT_EQ(error_number(), 3);
    EXPECT_EQ(file_write_lines(3, first), 3) << "nothing more after a loss";
    EXPECT_EQ(file_close(3), 3);
    const std::size_t whole = room < 16 ? 0 : room < 32 ? 16 : 32;
    EXPECT_EQ(folder_.read("lines.csv"), first + lines.substr(0, whole));
  }
  ASSERT_EQ(file_write_lines(2, lines), 0);
  EXPECT_EQ(written(), lines);
  EXPECT_EQ(file_write_lines(9, lines), 1);
}

TEST_F(PrintOutput, EndingsOfEmptyAndAbsentTexts) {
  print_text(2, "", ending_none);
  EXPECT_EQ(written(), "");
  print_text(2, "", ending_line);
  EXPECT_EQ(written(), "\r\n");
  print_text(2, nullptr, ending_line_too);
  print_ending(2, ending_line | ending_zone);
  print_plain_text(2, nullptr, ending_none);
  print_plain_text(2, "? ", ending_none);
  EXPECT_EQ(written(), "\r\n\r\n\r\n? ");
}

TEST_F(PrintOutput, TheColumnCountsBytesSinceTheLastLineEnd) {
  print_text(2, "ab", ending_none);
  print_text(2, "cd", ending_none);
  EXPECT_EQ(target().column, 4u);
  print_text(2, "x\r\nabc", ending_none);
  EXPECT_EQ(target().column, 3u);
  print_text(2, "tail\r", ending_none);
  EXPECT_EQ(target().column, 0u);
  target().width = 80;
  print_text(2, std::string(100, 'w').c_str(), ending_none);
  EXPECT_EQ(target().column, 20u) << "taken modulo the width";
}

TEST_F(PrintOutput, ZoneMovesWriteSpacesUpToTheNextZone) {
  struct Case {
    std::uint32_t width;
    std::uint32_t column;
    std::string written;
  } cases[] = {
      {0, 0, std::string(14, ' ')},
      {0, 13, " "},
      {0, 14, std::string(14, ' ')},
      {0, 27, " "},
      {0, 200, std::string(10, ' ')},
      {80, 55, " "},
      {80, 56, "\r\n"},
      {80, 60, "\r\n"},
      {10, 5, std::string(9, ' ')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "width " << c.width << " column " << c.column);
    ASSERT_EQ(file_close(2), 0);
    ASSERT_EQ(open_output(folder_.path("target.csv")), 0);
    target().width = c.width;
    target().column = c.column;
    print_ending(2, ending_zone);
    EXPECT_EQ(written(), c.written);
  }
}

TEST_F(PrintOutput, SharedColumnsAreKeptByTheLastSlotOfTheChain) {
  FileSlot holder;
  holder.width = 80;
  holder.column = 10;
  target().shared_column_link = &holder;
  print_text(2, "abcd", ending_zone);
  EXPECT_EQ(written(), "abcd" + std::string(14, ' ')) << "from the holder's column 14 to the zone at 28";
  EXPECT_EQ(target().column, 0u);
  EXPECT_EQ(holder.column, 28u);
  target().shared_column_link = nullptr;
}

TEST_F(PrintOutput, UnopenedNumbersGetNothingAndErrorOne) {
  print_text(3, "lost", ending_line);
  EXPECT_EQ(error_number(), 1);
  print_text(300, "lost", ending_zone);
  EXPECT_EQ(error_number(), 1);
  EXPECT_EQ(print_bytes(nullptr, "x", 1), 1);
  EXPECT_EQ(file_put(&target(), -1, "x", 1, false, false, false), 1);
  EXPECT_EQ(written(), "");
}

TEST_F(PrintOutput, AShortWriteIsAnErrorAndLeavesTheColumn) {
  ASSERT_EQ(open_output("/dev/full", 4), 0);
  const std::string block(crt_stream_buffer_size + 100, 'b');
  print_text(4, block.c_str(), ending_none);
  EXPECT_EQ(error_number(), 3);
  EXPECT_EQ(slot_for_number(4)->column, 0u);
  print_text(4, "next", ending_none);
  EXPECT_EQ(error_number(), 3) << "nothing may land behind the lost bytes";
  EXPECT_EQ(file_close(4), 3);
}

TEST_F(PrintOutput, RandomRecordsAreFilledToTheirLength) {
  ASSERT_EQ(file_open(folder_.path("r.bin").c_str(), mode_random, access_read_write, 0, 5, 8), 0);
  FileSlot& records = *slot_for_number(5);
  EXPECT_EQ(file_put(&records, 1, "abc", 3, true, false, false), 3) << "shorter than the record";
  EXPECT_EQ(records.stream->tell(), 8);
  EXPECT_EQ(file_put(&records, 0, "12345678", 8, true, false, false), 0);
  EXPECT_EQ(file_put(&records, 4, "z", 1, false, false, false), 0);
  ASSERT_EQ(file_close(5), 0);
  EXPECT_EQ(folder_.read("r.bin"), std::string("abc\0\0\0\0\0"
                                               "12345678"
                                               "\0\0\0\0\0\0\0\0"
                                               "z",
                                               25));
}

TEST_F(PrintOutput, WideWritesGiveOneBytePerCharacter) {
  const std::u16string text = u"\u00E4\u20AC\U0001F600x\r\nab";
  EXPECT_EQ(file_put(&target(), 0, text.data(), static_cast<std::int32_t>(text.size()), true, true, true), 0);
  EXPECT_EQ(written(), "\xE4??x\r\nab");
  EXPECT_EQ(target().column, 2u);
}

}  // namespace
}  // namespace lumetra
