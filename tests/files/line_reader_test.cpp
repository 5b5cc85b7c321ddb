// Line reading and the end-of-file test on real files, reading bytes through
// the put-back buffer, positions, a device without its own line reading, and
// appending to texts.
#include "files/line_reader.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/file_test_support.h"
#include "support/conversion_reading.h"
#include "system/file_io.h"
#include "system/memory.h"

namespace lumetra {
namespace {

using LineReader = FileLayerTest;

std::string bytes(const char* text, std::size_t length) { return {text, length}; }

struct LineCase {
  const char* name;
  std::string file;
  std::vector<std::string> lines;
};

// Files and the lines they hold, line ends and end-of-file conditions at every
// place where the reading could go wrong.
std::vector<LineCase> line_cases() {
  const std::string long_line(1500, 'x');
  const std::string huge_line(100000, 'y');
  const std::string x510(510, 'x');
  std::string many_lines;
  for (int i = 0; i < 1000; ++i) many_lines += "12345;1.5\r\n";  // beyond the first buffer
  std::vector<std::string> many(1000, "12345;1.5");
  std::vector<std::string> many_then_empty = many;
  many_then_empty.emplace_back();
  std::vector<std::string> many_then_pairs = many;
  many_then_pairs.insert(many_then_pairs.end(), {"a", "b\rc"});
  return {
      {"CR LF", "header\r\n12:00:00;1.5\r\n", {"header", "12:00:00;1.5"}},
      {"LF only", "header\n12:00:00;1.5\n", {"header", "12:00:00;1.5"}},
      {"no final line end", "header\r\n12:00:00;1.5", {"header", "12:00:00;1.5"}},
      {"final empty line", "header\r\ndata\r\n\r\n", {"header", "data", ""}},
      {"0 bytes", "", {}},
      {"only CR LF", "\r\n", {""}},
      {"1,500-byte line", long_line + "\r\nnext\r\n", {long_line, "next"}},
      {"100,000-byte line", huge_line + "\r\n", {huge_line}},
      {"lone CR inside a line", "a\rb\r\nc\r\n", {"a\rb", "c"}},
      {"lone CR as the last byte", "a\r\nb\r", {"a", "b"}},
      {"Ctrl+Z after a line end",
       "a\r\n\x1A"
       "b\r\n",
       {"a", ""}},
      {"Ctrl+Z inside a line",
       "a\r\nb\x1A"
       "c\r\n",
       {"a", "b"}},
      {"zero bytes inside lines", bytes("a\0b\r\n\0\0\r\n", 9), {bytes("a\0b", 3), bytes("\0\0", 2)}},
      // A piece without a line end loses the zero bytes at its end.
      {"a chunk that ends in zero bytes",
       std::string(509, 'z') + bytes("\0\0yz\r\n", 6),
       {std::string(509, 'z') + "yz"}},
      {"zero bytes inside a long line", x510 + bytes("\0\0y", 3) + x510 + "\r\n", {x510 + bytes("\0y", 2) + x510}},
      {"a chunk of zero bytes", std::string(511, '\0') + "a\r\n", {"a"}},
      {"zero bytes after the last line", "a\r\n081530;1;2" + std::string(4000, '\0'), {"a", "081530;1;2"}},
      {"zero bytes after a lone CR",
       x510 + bytes("\0", 1) + "y\r" + std::string(600, '\0') + "next",
       {x510 + "y", std::string(91, '\0') + "next"}},
      {"CR at byte 511 inside a line", x510 + "\ryz\r\nnext\r\n", {x510 + "\ryz", "next"}},
      {"CR at byte 511 before a line end", x510 + "\r\r\nnext", {x510, "next"}},
      {"CR at byte 511 as the last byte", x510 + "\r", {x510}},
      {"many lines, then Ctrl+Z",
       many_lines + "\x1A"
                    "tail\r\n",
       many_then_empty},
      {"many lines, CR CR LF and a lone CR", many_lines + "a\r\r\nb\rc\n", many_then_pairs},
  };
}

TEST_F(LineReader, LinesAndTheEndOfFileTestBeforeAndAfterEveryRead) {
  for (const LineCase& c : line_cases()) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(open_input(folder_.write("source.csv", c.file)), 0);
    Text line;
    for (const std::string& expected : c.lines) {
      EXPECT_EQ(file_at_end(1), 0);
      EXPECT_EQ(file_read_line(1, line), 0);
      EXPECT_EQ(line.view(), expected);
    }
    EXPECT_EQ(file_at_end(1), -1);
    EXPECT_EQ(file_read_line(1, line), 0) << "reading at the end is no error";
    EXPECT_EQ(line.size(), 0);
    ASSERT_EQ(file_close(1), 0);
  }
}

// The conversion loop takes the lines that lie whole in the stream's buffer
// from there, many at a time, and reads the others: it must see the same
// lines, whatever the size of the buffer (small ones end it inside lines and
// inside CR LF pairs).
TEST_F(LineReader, LinesTakenFromTheBufferAreTheLinesReadOneByOne) {
  for (const std::size_t buffer :
       {crt_stream_smallest_buffer, std::size_t{100}, crt_stream_buffer_size, std::size_t{1} << 20}) {
    for (const LineCase& c : line_cases()) {
      SCOPED_TRACE(testing::Message() << c.name << ", buffer " << buffer);
      // Behind a first line, as the data lines follow the header.
      ASSERT_EQ(open_input(folder_.write("source.csv", "first\r\n" + c.file)), 0);
      ASSERT_EQ(file_set_read_buffer(1, buffer), 0);
      std::vector<std::string> expected{"first"};
      expected.insert(expected.end(), c.lines.begin(), c.lines.end());
      EXPECT_EQ(read_like_the_conversion(1), expected);
      ASSERT_EQ(file_close(1), 0);
    }
  }
}

// The buffer's size is chosen before reading; afterwards it stays.
TEST_F(LineReader, ReadBufferIsSetBeforeReading) {
  ASSERT_EQ(open_input(folder_.write("source.csv", "a\r\nb\r\n")), 0);
  EXPECT_EQ(file_set_read_buffer(1, crt_stream_smallest_buffer - 1), 1);
  Text line;
  ASSERT_EQ(file_read_line(1, line), 0);
  EXPECT_EQ(file_set_read_buffer(1, 1 << 20), 1);
  EXPECT_EQ(file_set_read_buffer(2, 1 << 20), 1);
  ASSERT_EQ(file_read_line(1, line), 0);
  EXPECT_EQ(line.view(), "b");
  ASSERT_EQ(file_close(1), 0);
}

// The lines of CR LF text that lie whole in its first `length` bytes.
std::vector<std::string> whole_lines(std::string_view text, std::size_t length) {
  std::vector<std::string> lines;
  text = text.substr(0, length);
  for (std::size_t end; (end = text.find("\r\n")) != std::string_view::npos; text.remove_prefix(end + 2))
    lines.emplace_back(text.substr(0, end));
  return lines;
}

// A disk that fails to read: the input ends at the failure, the line it cut
// reads as empty, and closing the file reports the file I/O error.
TEST_F(LineReader, AReadFailureEndsTheInputWithoutTheCutLine) {
  std::string content = "header\r\n";
  for (int i = 0; i < 2000; ++i) content += std::to_string(100000 + i) + ";1.5;230.1\r\n";
  const std::string path = folder_.write("source.csv", content);
  for (const std::int64_t readable : {0, 8, 20, 8192 + 5, 20000}) {
    SCOPED_TRACE(readable);
    ASSERT_EQ(open_input(path), 0);
    const FailingReads failing(readable);
    std::vector<std::string> expected = whole_lines(content, static_cast<std::size_t>(readable));
    expected.emplace_back();
    EXPECT_EQ(read_like_the_conversion(1, expected.size() + 10), expected);
    EXPECT_EQ(file_at_end(1), -1);
    EXPECT_EQ(file_close(1), 3);
    EXPECT_TRUE(is_free(1));
  }
}

// A file cut short while it is read: the input that ends before the length
// measured at open is a failed read, and the line it cut is not delivered.
TEST_F(LineReader, ASourceThatShrinksWhileReadEndsWithAFileError) {
  std::string content = "header\r\n";
  for (int i = 0; i < 2000; ++i) content += std::to_string(100000 + i) + ";1.5;230.1\r\n";
  const std::string path = folder_.write("source.csv", content);
  ASSERT_EQ(open_input(path), 0);
  ASSERT_EQ(read_like_the_conversion(1, 3).size(), 3u);
  constexpr std::size_t kept = 10000 + 7;  // beyond the stream's first buffer, inside a line
  std::filesystem::resize_file(path, kept);
  std::vector<std::string> expected = whole_lines(content, kept);
  expected.erase(expected.begin(), expected.begin() + 3);
  expected.emplace_back();
  EXPECT_EQ(read_like_the_conversion(1), expected);
  EXPECT_EQ(file_close(1), 3);
}

// A line that gets no memory is error 4 and leaves the empty text, on both
// roads: lines whole in the stream's buffer and longer ones.
TEST_F(LineReader, ALineThatGetsNoMemoryIsOutOfMemory) {
  const std::string long_line(20000, 'x');
  ASSERT_EQ(open_input(folder_.write("source.csv", "short\r\n" + long_line + "\r\nnext\r\n")), 0);
  Text line;
  for (const int line_number : {1, 2}) {
    SCOPED_TRACE(line_number);
    const FailingAllocations no_memory;
    EXPECT_EQ(file_read_line(1, line), 4);
    EXPECT_EQ(error_number(), 4);
    EXPECT_EQ(line.size(), 0);
  }
}

TEST_F(LineReader, UnopenedNumbersAreAtTheEndAndLeaveTheDestination) {
  Text line;
  assign_text(line, "kept");
  EXPECT_EQ(file_read_line(3, line), 1);
  EXPECT_EQ(error_number(), 1);
  EXPECT_EQ(line.view(), "kept");
  char fixed[8] = "kept";
  EXPECT_EQ(file_read_line(300, fixed, false), 1);
  EXPECT_STREQ(fixed, "kept");
  EXPECT_EQ(file_at_end(3), -1);
  EXPECT_EQ(file_at_end(300), -1);
}

TEST_F(LineReader, FixedBuffersKeepWhatFitsAndFillTheRest) {
  ASSERT_EQ(open_input(folder_.write("s", "abcdefghij\r\nxy\r\n")), 0);
  char fixed[8];
  std::fill(std::begin(fixed), std::end(fixed), '#');
  ASSERT_EQ(file_read_line(1, fixed, false), 0);
  EXPECT_EQ(std::string(fixed, 8), bytes("abcdefg\0", 8));
  std::fill(std::begin(fixed), std::end(fixed), '#');
  ASSERT_EQ(file_read_line(1, fixed, true), 0);
  EXPECT_EQ(std::string(fixed, 8), bytes("xy\0\0\0\0\0\0", 8));
}

TEST_F(LineReader, StreamLinesReportTheEndOfTheInput) {
  const std::string path = folder_.write("s", "last");
  CrtStream stream;
  ASSERT_EQ(stream.open(path.c_str(), "rt"), 0);
  Text line;
  EXPECT_EQ(read_stream_line(stream, line), 3) << "the read behind the last byte delivers nothing";
  EXPECT_EQ(line.view(), "last");
  EXPECT_EQ(read_stream_line(stream, line), 3);
  EXPECT_EQ(line.size(), 0);
  EXPECT_EQ(error_number(), 3);
}

TEST_F(LineReader, PutBackBytesComeFirstAndOverflowIsAnError) {
  ASSERT_EQ(file_open(folder_.write("b.bin", "xyz").c_str(), mode_binary, access_read, 0, 1, 0), 0);
  FileSlot& slot = *slot_for_number(1);
  char got[8] = {};
  std::int32_t count = 3;
  ASSERT_EQ(file_get(slot, 0, got, &count, false, false), 0);
  EXPECT_EQ(std::string(got, 3), "xyz");
  EXPECT_EQ(file_at_end(1), -1);
  ASSERT_EQ(file_put_back(slot, "ab", 2), 0);
  ASSERT_EQ(file_put_back(slot, "c", 1), 0);
  EXPECT_EQ(file_at_end(1), 0) << "bytes wait in the put-back buffer";
  ASSERT_EQ(file_put_back(slot, "d", 1), 0);
  EXPECT_EQ(file_put_back(slot, "e", 1), 3);
  EXPECT_EQ(slot.put_back_count, 4) << "nothing stored on overflow";
  count = 6;
  ASSERT_EQ(file_get(slot, 0, got, &count, false, false), 0);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(std::string(got, 4), "dcab");
  EXPECT_EQ(file_put_back(*slot_for_number(9), "a", 1), 1);
}

TEST_F(LineReader, PositionsAreOneBasedAndEmptyThePutBackBuffer) {
  ASSERT_EQ(file_open(folder_.write("p.bin", "0123456789").c_str(), mode_binary, access_read, 0, 1, 0), 0);
  FileSlot& slot = *slot_for_number(1);
  ASSERT_EQ(file_put_back(slot, "ab", 2), 0);
  char got[4] = {};
  std::int32_t count = 2;
  ASSERT_EQ(file_get(slot, 5, got, &count, false, false), 0);
  EXPECT_EQ(std::string(got, 2), "45");
  EXPECT_EQ(file_get(slot, -1, got, &count, false, false), 1);
  EXPECT_EQ(file_set_position(slot, 0), 3) << "before the first byte";
}

TEST_F(LineReader, RandomRecordsAreReadWholeAndShortReadsSkipTheRest) {
  ASSERT_EQ(file_open(folder_.write("r.bin", "AAAABBBBCC").c_str(), mode_random, access_read, 0, 1, 4), 0);
  FileSlot& slot = *slot_for_number(1);
  char got[4] = {};
  std::int32_t count = 2;
  EXPECT_EQ(file_get(slot, 0, got, &count, true, false), 3) << "a count other than the record length";
  count = 4;
  ASSERT_EQ(file_get(slot, 0, got, &count, true, false), 0);
  EXPECT_EQ(std::string(got, 4), "BBBB") << "the rest of the first record was skipped";
  count = 4;
  ASSERT_EQ(file_get(slot, 3, got, &count, true, false), 3);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(std::string(got, 4), bytes("CC\0\0", 4)) << "short reads are zero-filled";
}

TEST_F(LineReader, WideReadsWidenBytesUpToAZeroByte) {
  ASSERT_EQ(file_open(folder_.write("w.bin", bytes("a\xE4\0b", 4)).c_str(), mode_binary, access_read, 0, 1, 0), 0);
  char16_t units[6];
  std::fill(std::begin(units), std::end(units), u'#');
  std::int32_t count = 6;
  ASSERT_EQ(file_get(*slot_for_number(1), 0, units, &count, false, true), 0);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(std::u16string(units, 6), std::u16string(u"a\u00E4\0\0\0\0", 6));
}

// A device that has bytes but no line reading of its own.
std::string_view device_bytes;
std::size_t device_position = 0;

std::int32_t memory_at_end(FileSlot&) noexcept { return device_position >= device_bytes.size() ? -1 : 0; }
std::int32_t memory_read(FileSlot&, char* buffer, std::int32_t* count) noexcept {
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(*count), device_bytes.size() - device_position);
  device_bytes.copy(buffer, n, device_position);
  device_position += n;
  *count = static_cast<std::int32_t>(n);
  return 0;
}
constexpr DeviceOps memory_device = [] {
  DeviceOps ops{};
  ops.at_end = memory_at_end;
  ops.read = memory_read;
  return ops;
}();

std::int32_t open_memory_device(FileSlot& slot, const char*, std::int32_t) noexcept {
  slot.ops = &memory_device;
  return 0;
}

TEST_F(LineReader, DevicesWithoutLineReadingAreReadByteByByte) {
  const std::string long_line(1500, 'q');
  const std::string content = "one\r\ntwo\rthree\n" + long_line + "\nlast";
  device_bytes = content;
  device_position = 0;
  ASSERT_EQ(open_slot(*slot_for_number(7), "memory", 6, mode_input, access_read, 0, 0, 0, open_memory_device), 0);
  EXPECT_EQ(slot_for_number(7)->size, 0) << "a device without seek and tell has size 0";
  Text line;
  for (const std::string& expected :
       {std::string("one"), std::string("two"), std::string("three"), long_line, std::string("last")}) {
    EXPECT_EQ(file_at_end(7), 0);
    EXPECT_EQ(file_read_line(7, line), 0);
    EXPECT_EQ(line.view(), expected);
  }
  EXPECT_EQ(file_at_end(7), -1);
  EXPECT_EQ(file_read_line(7, line), 0);
  EXPECT_EQ(line.size(), 0);
}

TEST(AppendText, GrowsVariablesAndKeepsFixedBuffersWithinTheirSize) {
  Text text;
  assign_text(text, "ab");
  append_text(text, "cd");
  EXPECT_EQ(text.view(), "abcd");
  append_text(text, text);
  EXPECT_EQ(text.view(), "abcdabcd") << "a text appended to itself";
  append_text(text, nullptr);
  EXPECT_EQ(text.view(), "abcdabcd");

  char fixed[6] = {'a', 'b', '\0', '#', '#', '#'};
  append_text(fixed, "cdefgh", false);
  EXPECT_EQ(std::string(fixed, 6), bytes("abcde\0", 6));
  char filled[6] = {'a', '\0', '#', '#', '#', '#'};
  append_text(filled, "x", true);
  EXPECT_EQ(std::string(filled, 6), bytes("ax\0\0\0\0", 6));
}

struct ProbeRun {
  std::string output;
  long max_rss_kb = 0;
};

// Runs the line reading probe on a file; its output and peak memory.
ProbeRun run_line_reading_probe(const std::string& path) {
  int pipe_ends[2];
  if (::pipe(pipe_ends) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipe_ends[1], 1);
    ::close(pipe_ends[0]);
    ::close(pipe_ends[1]);
    ::execl(LUMETRA_PROBE_DIR "/line_reading_probe", "line_reading_probe", path.c_str(), nullptr);
    ::_exit(127);
  }
  ::close(pipe_ends[1]);
  ProbeRun run;
  char buffer[256];
  for (ssize_t got; (got = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;)
    run.output.append(buffer, static_cast<std::size_t>(got));
  ::close(pipe_ends[0]);
  int status = 0;
  struct rusage usage {};
  ::wait4(child, &status, 0, &usage);
  run.max_rss_kb = usage.ru_maxrss;
  return run;
}

std::string write_log(const TempFolder& folder, const char* name, int blocks) {
  std::string block;
  for (int second = 0; second < 10000; ++second) block += "12:34:56;230.125;4.5;1035.6\r\n";  // 29 bytes
  std::ofstream out(folder.path(name), std::ios::binary);
  for (int i = 0; i < blocks; ++i) out << block;
  return folder.path(name);
}

TEST_F(LineReader, ReadingALongLogKeepsMemoryFlat) {
  const ProbeRun small = run_line_reading_probe(write_log(folder_, "small.csv", 4));
  const ProbeRun large = run_line_reading_probe(write_log(folder_, "large.csv", 120));
  EXPECT_EQ(small.output, "40000 1080000\n");
  EXPECT_EQ(large.output, "1200000 32400000\n");
  EXPECT_LT(large.max_rss_kb - small.max_rss_kb, 4096) << "35 MB read with " << large.max_rss_kb << " KiB";
}

}  // namespace
}  // namespace lumetra
