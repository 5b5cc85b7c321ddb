// Tests of find_text: its edge rules, and the Boyer-Moore search against a
// plain left-to-right comparison at every start.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "text/text.h"

namespace lumetra {
namespace {

TEST(TextSearch, EdgeRules) {
  struct Case {
    std::int32_t start;
    const char *text, *pattern;
    std::int32_t expected;
  };
  const Case cases[] = {{1, "12:00;3.5", ";", 6},       {1, "12:00", ";", 0}, {1, "abc", "", 0},   {1, nullptr, "a", 0},
                        {1, "abc", nullptr, 0},         {4, "abc", "c", 0},   {3, "abc", "c", 3},  {0, "abc", "a", 0},
                        {1, "abc", "abc", 1},           {2, "abc", "abc", 0}, {1, "ab", "abc", 0}, {2, "abab", "ab", 3},
                        {1, "a\xff\x80", "\xff\x80", 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << " " << (c.text ? c.text : "absent") << " "
                                    << (c.pattern ? c.pattern : "absent"));
    EXPECT_EQ(find_text(c.start, c.text, c.pattern), c.expected);
  }
  EXPECT_EQ(find_text(1, mid_text("xxabc", 1, -1), mid_text("abc", 2, 2)), 4);
}

// Random texts and patterns over a small alphabet, plus periodic patterns
// whose good-suffix shifts must not skip an occurrence.
TEST(TextSearch, BoyerMooreAgreesWithPlainSearch) {
  std::mt19937 random(20240607);
  const auto random_text = [&](std::size_t max_length) {
    std::string bytes(std::uniform_int_distribution<std::size_t>(1, max_length)(random), 'a');
    for (char& byte : bytes) byte = "abc\xe9"[std::uniform_int_distribution<int>(0, 3)(random)];
    return bytes;
  };
  std::vector<std::pair<std::string, std::string>> searches;
  for (const char* pattern : {"aaaa", "abab", "baba", "aab", "abba", "babab"}) {
    searches.emplace_back("aaabaaaabababbababab", pattern);
  }
  for (int round = 0; round < 2000; ++round) searches.emplace_back(random_text(40), random_text(6));
  for (const auto& [text, pattern] : searches) {
    for (std::size_t start = 1; start <= text.size(); ++start) {
      SCOPED_TRACE(testing::Message() << pattern << " in " << text << " from " << start);
      const std::size_t plain = text.find(pattern, start - 1);
      const auto position = static_cast<std::int32_t>(plain == std::string::npos ? 0 : plain + 1);
      ASSERT_EQ(find_text(static_cast<std::int32_t>(start), text.c_str(), pattern.c_str()), position);
    }
  }
}

}  // namespace
}  // namespace lumetra
