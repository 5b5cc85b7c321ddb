// Record conversion: the worked examples, and the fast conversion against a
// conversion made step by step from the named text and number operations.
#include "converter/record_converter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "text/numeric_text.h"
#include "text/text.h"

namespace lumetra {
namespace {

struct Expected {
  std::string record;  // empty: no record
  std::int32_t failed_line = 0;
};

// convert_line as a sequence of text operations: one byte at a time through
// mid_text, compare_text and concat_text, the seconds through left_text,
// mid_text, right_text and numeric_value with rounding at every step.
Expected convert_step_by_step(const Text& line) {
  if (find_text(1, line, ";") < 1) return {};
  Text fields[4];
  std::int32_t field_index = 1;
  Text current_char;
  const std::int32_t n = text_length(line);
  for (std::int32_t p = 1; p <= n; ++p) {
    assign_text(current_char, mid_text(line, p, 1));
    if (compare_text(current_char, ";") == 0) {
      ++field_index;
    } else if (compare_text(current_char, " ") != 0) {
      const bool dot = compare_text(current_char, ".") == 0;
      if (field_index < 1 || field_index > 4) return {"", dot ? 42 : 44};
      TextDescriptor result;
      assign_text(fields[field_index - 1],
                  concat_text(result, fields[field_index - 1], dot ? TextArg(",") : TextArg(current_char)));
    }
  }
  Text time_text;
  assign_text(time_text, fields[0]);
  auto nearest = [](long double value) { return static_cast<std::int32_t>(std::nearbyintl(value)); };
  std::int32_t seconds = nearest(static_cast<long double>(numeric_value(left_text(time_text, 2))) * 3600.0L);
  seconds = nearest(static_cast<long double>(numeric_value(mid_text(time_text, 3, 2))) * 60.0L + seconds);
  seconds = nearest(static_cast<long double>(numeric_value(right_text(time_text, 2))) + seconds);
  Text seconds_text;
  assign_text(seconds_text, trim_leading_blanks(integer_to_text(seconds)));
  std::string record = "$1;1;";
  record += seconds_text.view();
  for (int i = 1; i < 4; ++i) (record += ';') += fields[i].view();
  return {record + ";0\r\n"};
}

Expected convert_fast(RecordConverter& converter, const Text& line) {
  if (line.view().find(';') == std::string_view::npos) return {};
  const RecordConverter::Outcome outcome = converter.make_record(line.view());
  return {std::string(outcome.record), outcome.failed_line};
}

// A text variable holding exactly these bytes, zero bytes included.
Text text_of(std::string_view bytes) {
  Text text;
  assign_text(text, mid_text(text_from_literal(bytes.data(), static_cast<std::int32_t>(bytes.size())), 1, -1));
  return text;
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
  };
  RecordConverter converter;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const Text line = text_of(c.line);
    const Expected fast = convert_fast(converter, line);
    EXPECT_EQ(fast.record, c.record);
    EXPECT_EQ(fast.failed_line, c.failed_line);
    const Expected reference = convert_step_by_step(line);
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

TEST(RecordConverter, FastConversionEqualsStepByStepConversion) {
  std::mt19937 random(20261207);
  RecordConverter converter;
  int records = 0;
  for (int i = 0; i < 120000; ++i) {
    const std::string bytes = random_line(random);
    const Text line = text_of(bytes);
    const Expected fast = convert_fast(converter, line);
    const Expected reference = convert_step_by_step(line);
    ASSERT_EQ(fast.record, reference.record) << "line " << testing::PrintToString(bytes);
    ASSERT_EQ(fast.failed_line, reference.failed_line) << "line " << testing::PrintToString(bytes);
    records += fast.record.empty() ? 0 : 1;
  }
  EXPECT_GT(records, 50000);  // the generator reaches the record path often
}

TEST(RecordConverter, LongFieldsKeepEveryByte) {
  RecordConverter converter;
  const std::string value(100000, '7');
  const Text line = text_of("120000;" + value + ".5;" + value + ";x");
  const Expected fast = convert_fast(converter, line);
  EXPECT_EQ(fast.record, "$1;1;43200;" + value + ",5;" + value + ";x;0\r\n");
  EXPECT_EQ(fast.record, convert_step_by_step(line).record);
}

}  // namespace
}  // namespace lumetra
