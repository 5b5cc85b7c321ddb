// Tests of reading numbers from text and writing integers as text.
#include "text/numeric_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <string>

namespace lumetra {
namespace {

TEST(NumericText, NumericValue) {
  const std::pair<const char*, double> cases[] = {
      {"", 0.0},
      {"   ", 0.0},
      {"&", 0.0},
      {" 12", 12.0},
      {"12abc", 12.0},
      {"1,5", 1.0},
      {".5", 0.5},
      {"-2.25", -2.25},
      {"1d2", 100.0},
      {"1D2", 100.0},
      {"2.5d-1", 0.25},
      {"dd", 0.0},
      {"&h1F", 31.0},
      {"&B102", 2.0},
      {"&o17", 15.0},
      {"&O78", 7.0},
      {"&H", 0.0},
      {"&x1", 0.0},
      {"&H-1", 0.0},
      {"\t&H10", 0.0},
      {"  &H10", 16.0},
      {"&HFFFFFFFFFFFFFFFF", -1.0},
      {"&H10000000000000002", 2.0}};  // a seventeenth digit shifts the first one out
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(numeric_value(text), expected);
  }
}

TEST(NumericText, LongTextAndZeroByteInside) {
  Text text;
  assign_text(text, std::string(100, '1').c_str());
  EXPECT_DOUBLE_EQ(numeric_value(text), 1.1111111111111111e99);
  text.descriptor().data[2] = '\0';
  EXPECT_EQ(numeric_value(text), 11.0);
}

TEST(NumericText, DecimalMarkIsPointWhateverTheLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) std::setlocale(LC_ALL, "C.UTF-8");
  const double point = numeric_value("1.5");
  const double comma = numeric_value("1,5");
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_EQ(point, 1.5);
  EXPECT_EQ(comma, 1.0);
}

TEST(NumericText, IntegerToText) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "0"},
      {-5, "-5"},
      {86399, "86399"},
      {std::numeric_limits<std::int32_t>::min(), "-2147483648"},
      {std::numeric_limits<std::int32_t>::max(), "2147483647"},
      {std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1, "2147483648"},  // a record count of a big log
      {std::numeric_limits<std::int64_t>::min(), "-9223372036854775808"},
      {std::numeric_limits<std::int64_t>::max(), "9223372036854775807"}};
  for (const auto& [value, expected] : cases) {
    SCOPED_TRACE(value);
    const TempText text = integer_to_text(value);
    EXPECT_EQ(text.view(), expected);
    EXPECT_EQ(text.view().data()[text.view().size()], '\0');
    EXPECT_NE(text.descriptor()->length & text_temporary_flag, 0u);
  }
}

}  // namespace
}  // namespace lumetra
