// Opening and closing numbered files on real files: the number table, open
// errors, the output and append modes, the same-file guard, names, closing
// one number or all, and lost output reported by close.
#include "files/file_slots.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "files/file_test_support.h"
#include "files/line_reader.h"
#include "files/print_output.h"
#include "system/memory.h"

namespace lumetra {
namespace {

using FileSlots = FileLayerTest;

TEST_F(FileSlots, OpenRefusesNumbersOutsideTheTableAndSlotsInUse) {
  const std::string source = folder_.write("source.csv", "header\r\ndata\r\n");
  for (FileNumber number : {0, -1, 255}) {
    set_error_number(0);
    EXPECT_EQ(open_input(source, number), 1) << number;
    EXPECT_EQ(error_number(), 1);
  }
  ASSERT_EQ(open_input(source), 0);
  EXPECT_EQ(open_input(folder_.write("other", "x")), 1);
  Text line;
  ASSERT_EQ(file_read_line(1, line), 0);
  EXPECT_EQ(line.view(), "header") << "the open file is not disturbed";
}

TEST_F(FileSlots, MissingFilesDirectoriesAndBadModesLeaveTheSlotFree) {
  EXPECT_EQ(open_input(folder_.path("missing.csv")), 2);
  EXPECT_TRUE(is_free(1));
  EXPECT_EQ(open_input(""), 2);
  EXPECT_EQ(open_output(folder_.path("no-such-folder/target.csv")), 2);
  const std::string directory = folder_.root().string();
  for (std::int32_t mode = mode_binary; mode <= mode_append; ++mode) {
    for (std::int32_t access = access_any; access <= access_read_write; ++access) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " access " << access);
      EXPECT_EQ(file_open(directory.c_str(), mode, access, 0, 3, 0), 2);
      EXPECT_TRUE(is_free(3));
    }
  }
  EXPECT_EQ(file_open(folder_.path("x").c_str(), 5, access_any, 0, 3, 0), 1);
  EXPECT_TRUE(is_free(3));
}

TEST_F(FileSlots, WritingAFileThatIsOpenInAnotherSlotIsRefused) {
  const std::string content = "header\r\n12:00:00;1.5;2;3\r\n";
  const std::string source = folder_.write("log.csv", content);
  ASSERT_EQ(open_input(source), 0);
  const std::string aliases[] = {source, folder_.root().string() + "/./log.csv", folder_.root().string() + "\\log.csv"};
  for (const std::string& alias : aliases) {
    for (std::int32_t mode : {mode_output, mode_append, mode_binary, mode_random}) {
      SCOPED_TRACE(alias + " mode " + std::to_string(mode));
      EXPECT_EQ(file_open(alias.c_str(), mode, access_any, 0, 2, 0), 1);
      EXPECT_TRUE(is_free(2));
    }
  }
  EXPECT_EQ(folder_.read("log.csv"), content);
  EXPECT_EQ(file_open(source.c_str(), mode_input, access_any, 0, 2, 0), 0) << "reading it twice is harmless";
  Text line;
  ASSERT_EQ(file_read_line(1, line), 0);
  EXPECT_EQ(line.view(), "header");
}

TEST_F(FileSlots, OutputCreatesOrEmptiesAndAppendAddsAtTheEnd) {
  const std::string target = folder_.write("target.csv", "old content");
  ASSERT_EQ(open_output(target), 0);
  EXPECT_EQ(slot_for_number(2)->size, 0);
  EXPECT_EQ(slot_for_number(2)->access, access_read_write);
  EXPECT_EQ(slot_for_number(2)->record_length, default_record_length);
  EXPECT_EQ(folder_.read("target.csv"), "") << "emptied at open, before anything is written";
  ASSERT_EQ(file_close(2), 0);

  ASSERT_EQ(open_output(folder_.path("new.csv")), 0);
  ASSERT_EQ(file_close(2), 0);
  EXPECT_TRUE(std::filesystem::exists(folder_.path("new.csv")));

  folder_.write("more.csv", "abc");
  ASSERT_EQ(file_open(folder_.path("more.csv").c_str(), mode_append, access_any, 0, 3, 99), 0);
  EXPECT_EQ(slot_for_number(3)->size, 3);
  EXPECT_EQ(slot_for_number(3)->record_length, 0);
  print_text(3, "def", ending_line);
  ASSERT_EQ(file_close(3), 0);
  EXPECT_EQ(folder_.read("more.csv"), "abcdef\r\n");
}

TEST_F(FileSlots, SizesAndAccessAtOpen) {
  ASSERT_EQ(open_input(folder_.write("empty.csv", "")), 0);
  EXPECT_EQ(slot_for_number(1)->size, 0);
  EXPECT_EQ(file_at_end(1), -1);
  ASSERT_EQ(file_open(folder_.write("data.bin", "0123456789").c_str(), mode_random, access_any, 7, 4, 0), 0);
  const FileSlot& random = *slot_for_number(4);
  EXPECT_EQ(random.size, 10);
  EXPECT_EQ(random.record_length, default_record_length);
  EXPECT_EQ(random.access, access_read_write);
  EXPECT_EQ(random.lock, 7);
  EXPECT_EQ(random.device_type, device_type_file);
  EXPECT_EQ(random.stream->tell(), 0) << "positioned back at the start";
  ASSERT_EQ(file_open(folder_.path("created.bin").c_str(), mode_binary, access_read_write, 0, 5, 0), 0);
  EXPECT_EQ(slot_for_number(5)->size, 0);
  EXPECT_EQ(file_open(folder_.path("absent.bin").c_str(), mode_binary, access_read, 0, 6, 0), 2);
}

TEST_F(FileSlots, NamesWithEitherSeparatorOrInCodePage850OpenTheSameFile) {
  std::filesystem::create_directories(folder_.root() / "sub");
  folder_.write("sub/data.csv", "line\r\n");
  const std::string backslashed = folder_.root().string() + "\\sub\\data.csv";
  ASSERT_EQ(open_input(backslashed), 0);
  Text line;
  ASSERT_EQ(file_read_line(1, line), 0);
  EXPECT_EQ(line.view(), "line");

  const std::string typed = folder_.root().string() + "/M\x84rz.csv";  // a-umlaut as the console types it
  ASSERT_EQ(open_output(typed), 0);
  ASSERT_EQ(file_close(2), 0);
  EXPECT_TRUE(std::filesystem::exists(folder_.root() / u8"M\u00E4rz.csv"));
  const std::string utf8 = folder_.root().string() + "/M\xC3\xA4rz.csv";
  ASSERT_EQ(open_input(utf8, 3), 0) << "a valid UTF-8 name is used as it is";
}

// A name in Latin-1 that a file really has (left by an older system) opens
// that file as a source; the code page 850 reading is the fallback, and
// targets are always created under it.
TEST_F(FileSlots, SourcesOpenByTheExactBytesOfTheirNameFirst) {
#if defined(_WIN32)
  GTEST_SKIP() << "Windows names are Unicode: none holds Latin-1 bytes";
#endif
  const std::string latin1 = folder_.root().string() + "/M\xFCller.csv";
  folder_.write("M\xFCller.csv", "exact\r\n");
  folder_.write("M\xC2\xB3ller.csv", "code page 850\r\n");  // \xFC read as code page 850
  Text line;
  ASSERT_EQ(open_input(latin1), 0);
  ASSERT_EQ(file_read_line(1, line), 0);
  EXPECT_EQ(line.view(), "exact");
  ASSERT_EQ(file_close(1), 0);
  std::filesystem::remove(folder_.root() / "M\xFCller.csv");
  ASSERT_EQ(open_input(latin1), 0);
  ASSERT_EQ(file_read_line(1, line), 0);
  EXPECT_EQ(line.view(), "code page 850");
  ASSERT_EQ(file_close(1), 0);
  ASSERT_EQ(open_output(latin1), 0);
  ASSERT_EQ(file_close(2), 0);
  EXPECT_FALSE(std::filesystem::exists(folder_.root() / "M\xFCller.csv"));
  EXPECT_EQ(folder_.read("M\xC2\xB3ller.csv"), "");
}

TEST_F(FileSlots, NoMemoryForTheStreamIsOutOfMemory) {
  const std::string source = folder_.write("source.csv", "header\r\n");
  const FailingAllocations no_memory;
  EXPECT_EQ(open_input(source), 4);
  EXPECT_EQ(open_output(folder_.path("target.txt")), 4);
  EXPECT_TRUE(is_free(1));
  EXPECT_TRUE(is_free(2));
}

TEST_F(FileSlots, TheConsoleDeviceNameIsMarked) {
#if defined(_WIN32)
  GTEST_SKIP() << "Windows itself opens its console under this name, and fails without a console";
#endif
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder_.root());
  ASSERT_EQ(open_output("Con"), 0);
  EXPECT_EQ(slot_for_number(2)->device_type, device_type_console);
  std::filesystem::current_path(previous);
}

TEST_F(FileSlots, ClosingTwiceOrAnUnopenedNumberIsAnIllegalFunctionCall) {
  ASSERT_EQ(open_output(folder_.path("t.csv")), 0);
  EXPECT_EQ(file_close(2), 0);
  EXPECT_TRUE(is_free(2));
  EXPECT_EQ(file_close(2), 1);
  EXPECT_EQ(error_number(), 1);
  EXPECT_EQ(file_close(7), 1);
  EXPECT_EQ(file_close(-1), 1);
  EXPECT_EQ(file_close(300), 1);
}

TEST_F(FileSlots, CloseZeroClosesEveryFileButNeverTheConsole) {
  EXPECT_EQ(file_close(0), 0) << "nothing open";
  prepare_console_slot();
  ASSERT_NE(console_slot().ops, nullptr);
  ASSERT_EQ(open_input(folder_.write("a.csv", "x")), 0);
  ASSERT_EQ(open_output(folder_.path("b.csv"), 254), 0);
  set_error_number(5);
  EXPECT_EQ(file_close(0), 0);
  EXPECT_EQ(error_number(), 0);
  EXPECT_TRUE(is_free(1));
  EXPECT_TRUE(is_free(254));
  EXPECT_NE(console_slot().ops, nullptr);
  EXPECT_EQ(file_close(0), 0);
}

TEST_F(FileSlots, EveryOpenAttemptSetsTheFilesOpenedFlag) {
  EXPECT_FALSE(files_opened());
  EXPECT_EQ(open_input(folder_.path("missing")), 2);
  EXPECT_TRUE(files_opened()) << "also after a failed open";
  file_close_all();
  EXPECT_FALSE(files_opened());
  EXPECT_EQ(open_input(folder_.path("missing"), 0), 1);
  EXPECT_FALSE(files_opened()) << "a number outside the table reaches no slot";
}

TEST_F(FileSlots, CloseReportsOutputLostOnAFullDeviceAndStillFreesTheSlot) {
  ASSERT_EQ(open_output("/dev/full"), 0);
  print_text(2, "$1;1;43200;1,5;2;3;0", ending_line);
  EXPECT_EQ(error_number(), 0) << "still in the buffer";
  EXPECT_EQ(file_close(2), 3);
  EXPECT_EQ(error_number(), 3);
  EXPECT_TRUE(is_free(2));
  EXPECT_EQ(open_output(folder_.path("again.csv")), 0);
}

}  // namespace
}  // namespace lumetra
