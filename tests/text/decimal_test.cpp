// Decimal writing of integers, at every digit count and both signs.
#include "text/decimal.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>
#include <vector>

namespace lumetra {
namespace {

TEST(Decimal, WriteDecimalMatchesTheStandardLibrary) {
  std::vector<std::int32_t> values = {0, std::numeric_limits<std::int32_t>::min(),
                                      std::numeric_limits<std::int32_t>::max()};
  for (std::int64_t power = 1; power <= 1'000'000'000; power *= 10) {
    for (const std::int64_t value : {power - 1, power, power + 1}) {
      values.push_back(static_cast<std::int32_t>(value));
      values.push_back(static_cast<std::int32_t>(-value));
    }
  }
  std::mt19937 random(7);
  for (int i = 0; i < 10000; ++i) values.push_back(static_cast<std::int32_t>(random()));
  for (const std::int32_t value : values) {
    char out[12] = {};
    const std::int32_t length = write_decimal(value, out);
    ASSERT_EQ(std::string(out, static_cast<std::size_t>(length)), std::to_string(value));
  }
}

}  // namespace
}  // namespace lumetra
