// Record conversion: the worked examples, and the fast conversion against the
// conversion made step by step from the named text and number operations.
#include "converter/record_converter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "converter/source_lines.h"
#include "files/file_slots.h"
#include "files/line_reader.h"
#include "support/step_by_step_conversion.h"
#include "support/temp_folder.h"
#include "support/text_from_bytes.h"
#include "text/text.h"

namespace lumetra {
namespace {

ExpectedRecord convert_fast(RecordConverter& converter, const Text& line) {
  if (line.view().find(';') == std::string_view::npos) return {};
  const RecordOutcome outcome = converter.make_record(line.view());
  return {std::string(outcome.record), outcome.failed_line};
}

TEST(RecordConverter, WorkedExamples) {
  const struct {
    const char* line;
    const char* record;
    std::int32_t failed_line;
  } cases[] = {
      {"081530;12.5;230.1;0.98", "$1;1;29730;12,5;230,1;0,98;0\r\n", 0},
      {"12 00 00 ; 1 234.5 ; 7 ; 8", "$1;1;43200;1234,5;7;8;0\r\n", 0},
      {"235959;0;0;0", "$1;1;86399;0;0;0;0\r\n", 0},
      {"0930;5", "$1;1;34230;5;;;0\r\n", 0},
      {"12;1;2;3", "$1;1;43212;1;2;3;0\r\n", 0},
      {"12345;1;2;3", "$1;1;45285;1;2;3;0\r\n", 0},
      {"08:15:30;1;2;3", "$1;1;28830;1;2;3;0\r\n", 0},
      {"7.5;x;y;z", "$1;1;25500;x;y;z;0\r\n", 0},
      {"-10000;a;b;c", "$1;1;-3600;a;b;c;0\r\n", 0},
      {";;;", "$1;1;0;;;;0\r\n", 0},
      {"1;2;3;4;", "$1;1;3601;2;3;4;0\r\n", 0},
      {"a;b;c;d; ;;", "$1;1;0;b;c;d;0\r\n", 0},
      {"Datum Uhrzeit", "", 0},
      {"", "", 0},
      {"1;2;3;4;5", "", 44},
      {"1;2;3;4;.", "", 42},
      {"1.2.3;\t5 ;x", "$1;1;3720;\t5;x;;0\r\n", 0},
      {"000000;0.0;0.0;0.00", "$1;1;0;0,0;0,0;0,00;0\r\n", 0},
      {"000059;1234567890.5", "$1;1;59;1234567890,5;;;0\r\n", 0},
      {"999999;1;2;3.25.75.5", "$1;1;362439;1;2;3,25,75,5;0\r\n", 0},
      {"120000;1.5;2.5;3.5;;", "$1;1;43200;1,5;2,5;3,5;0\r\n", 0},
      {"120000;1.5;2.5;3.5;4", "", 44},
  };
  RecordConverter converter;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const Text line = text_of(c.line);
    const ExpectedRecord fast = convert_fast(converter, line);
    EXPECT_EQ(fast.record, c.record);
    EXPECT_EQ(fast.failed_line, c.failed_line);
    const ExpectedRecord reference = convert_step_by_step(line);
    EXPECT_EQ(reference.record, c.record);
    EXPECT_EQ(reference.failed_line, c.failed_line);
  }
}

// Lines built from the bytes that matter to the conversion: separators,
// blanks, dots, signs, exponent and radix letters, white space that strtod
// skips, high and zero bytes.
std::string random_line(std::mt19937& random) {
  static constexpr char interesting[] = ";;;;  ..\t,-+eEdD&HhBbOoXx0123456789999:/\x80\xff\x84\r\v\f\x1a";
  const std::size_t alphabet = sizeof interesting - 1 + 1;  // and the zero byte
  std::uniform_int_distribution<std::size_t> pick(0, alphabet - 1);
  std::uniform_int_distribution<int> length(0, 40);
  std::string line;
  if (random() % 2 == 0) {
    // a realistic start: a time field of 0 to 8 digits
    for (int i = static_cast<int>(random() % 9); i > 0; --i) line += static_cast<char>('0' + random() % 10);
    line += ';';
  }
  for (int i = length(random); i > 0; --i) {
    const std::size_t choice = pick(random);
    line += choice < sizeof interesting - 1 ? interesting[choice] : '\0';
  }
  return line;
}

// Converts `count` lines from `make_line` both ways; false at the first
// difference (reported). Counts the lines that made a record.
template <typename MakeLine>
bool same_as_step_by_step(MakeLine make_line, int count, int& records) {
  RecordConverter converter;
  for (int i = 0; i < count; ++i) {
    const std::string bytes = make_line();
    const Text line = text_of(bytes);
    const ExpectedRecord fast = convert_fast(converter, line);
    const ExpectedRecord reference = convert_step_by_step(line);
    EXPECT_EQ(fast.record, reference.record) << "line " << testing::PrintToString(bytes);
    EXPECT_EQ(fast.failed_line, reference.failed_line) << "line " << testing::PrintToString(bytes);
    if (fast.record != reference.record || fast.failed_line != reference.failed_line) return false;
    records += fast.record.empty() ? 0 : 1;
  }
  return true;
}

TEST(RecordConverter, FastConversionEqualsStepByStepConversion) {
  std::mt19937 random(20261207);
  int records = 0;
  ASSERT_TRUE(same_as_step_by_step([&] { return random_line(random); }, 120000, records));
  EXPECT_GT(records, 50000);  // the generator reaches the record path often
}

// Lines as loggers write them, around the lengths where the vector road
// begins and ends: a six-digit time (or a near miss), then up to three
// fields (now and then more) of digits and dots, now and then a blank or a
// byte above 0x7F.
std::string logger_line(std::mt19937& random) {
  std::string line;
  for (int i = 0; i < 6; ++i) line += static_cast<char>('0' + random() % 10);
  if (random() % 16 == 0) line[random() % 6] = "/:a 9"[random() % 5];
  line += random() % 32 == 0 ? '.' : ';';
  const auto fields = random() % 8 == 0 ? 4 + random() % 2 : 1 + random() % 3;
  for (unsigned field = 0; field < fields; ++field) {
    if (field > 0) line += ';';
    for (auto length = random() % 20; length > 0; --length) {
      const auto pick = random() % 64;
      line += pick < 8 ? '.' : pick < 10 ? "x\x84 "[random() % 3] : static_cast<char>('0' + pick % 10);
    }
  }
  return line;
}

TEST(RecordConverter, LoggerLinesEqualStepByStepConversion) {
  std::mt19937 random(7);
  int records = 0;
  ASSERT_TRUE(same_as_step_by_step([&] { return logger_line(random); }, 60000, records));
  EXPECT_GT(records, 30000);
}

// The target of a source read through the conversion loop, with the plain
// lines taken in blocks or each line alone. A small read buffer makes many
// buffers, with lines cut at their ends.
std::string target_of(const TempFolder& folder, const std::string& source, bool in_blocks) {
  constexpr FileNumber source_file = 1;
  constexpr FileNumber target_file = 2;
  EXPECT_EQ(file_open(source.c_str(), mode_input, 0, 0, source_file, 0), 0);
  EXPECT_EQ(file_open(folder.path("target.txt").c_str(), mode_output, 0, 0, target_file, 0), 0);
  EXPECT_EQ(file_set_read_buffer(source_file, 1000), 0);
  Text line;
  SourceLines lines(source_file);
  EXPECT_EQ(lines.read_header(line), 0);
  {
    RecordConverter converter;
    const auto visit = [&](std::string_view data_line) {
      (void)converter.convert_line(data_line);
      return true;
    };
    const auto take = [&](std::string_view block) {
      return in_blocks ? converter.convert_plain_lines(block) : LinesTaken{};
    };
    EXPECT_EQ(lines.read_data_lines(line, visit, [] {}, take), 0);
    converter.finish();
  }
  file_close_all();
  release_text(line);
  return folder.read("target.txt");
}

TEST(RecordConverter, PlainLinesTakenInBlocksGiveTheRecordsOfSingleLines) {
  std::mt19937 random(11);
  std::string source = "Zeit;Wert\r\n";
  for (int i = 0; i < 20000; ++i) {
    const std::string line = logger_line(random);
    if (convert_step_by_step(text_of(line)).failed_line != 0) continue;  // would end the run
    source += line + (random() % 4 == 0 ? "\n" : random() % 16 == 0 ? "\r\r\n" : "\r\n");
  }
  const TempFolder folder;
  const std::string path = folder.write("source.csv", source);
  const std::string in_blocks = target_of(folder, path, true);
  EXPECT_EQ(in_blocks, target_of(folder, path, false));
  EXPECT_GT(in_blocks.size(), source.size());
}

TEST(RecordConverter, LongFieldsKeepEveryByte) {
  RecordConverter converter;
  const std::string value(100000, '7');
  const Text line = text_of("120000;" + value + ".5;" + value + ";x");
  const ExpectedRecord fast = convert_fast(converter, line);
  EXPECT_EQ(fast.record, "$1;1;43200;" + value + ",5;" + value + ";x;0\r\n");
  EXPECT_EQ(fast.record, convert_step_by_step(line).record);
}

}  // namespace
}  // namespace lumetra
