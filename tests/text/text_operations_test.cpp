// Tests of the text operations: sub-texts, trimming, comparison, assignment,
// concatenation and release.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temporary_text.h"
#include "text/text.h"

namespace lumetra {
namespace {


// mid_text, left_text or right_text, chosen by 'm', 'l' or 'r'.
template <typename Arg>
TempText sub_text(char operation, Arg&& text, std::int32_t start, std::int32_t count) {
  if (operation == 'm') return mid_text(std::forward<Arg>(text), start, count);
  if (operation == 'l') return left_text(std::forward<Arg>(text), count);
  return right_text(std::forward<Arg>(text), count);
}

TEST(TextOperations, SubTextsTakeTheirArgumentAsVariableOrTemporary) {
  struct Case {
    char operation;
    const char* text;
    std::int32_t start, count;
    const char* expected;
  };
  const Case cases[] = {{'m', "abcde", 2, 3, "bcd"},  {'m', "abcde", 0, 2, ""}, {'m', "abcde", 5, 1, "e"},
                        {'m', "abcde", 6, 1, ""},     {'m', "abcde", 2, 0, ""}, {'m', "abcde", 3, -1, "cde"},
                        {'m', "abcde", 3, 99, "cde"}, {'m', nullptr, 1, 1, ""}, {'l', "abc", 0, 2, "ab"},
                        {'l', "abc", 0, 0, ""},       {'l', "abc", 0, -1, ""},  {'l', "abc", 0, 9, "abc"},
                        {'r', "abc", 0, 2, "bc"},     {'r', "abc", 0, -2, ""},  {'r', "abc", 0, 9, "abc"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.operation << " " << (c.text ? c.text : "absent") << " " << c.start << " "
                                    << c.count);
    Text variable;
    assign_text(variable, c.text);
    EXPECT_EQ(sub_text(c.operation, variable, c.start, c.count).view(), c.expected);
    EXPECT_EQ(sub_text(c.operation, c.text ? temporary(c.text) : TempText(), c.start, c.count).view(), c.expected);
  }
}

TEST(TextOperations, TrimRemovesOnlyLeadingBlanks) {
  const std::pair<const char*, const char*> cases[] = {{"  a b ", "a b "}, {"\tab", "\tab"}, {"   ", ""}};
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(trim_leading_blanks(text).view(), expected);
  }
}

TEST(TextOperations, CompareIsUnsignedAndAbsentCountsAsEmpty) {
  struct Case {
    const char *a, *b;
    std::int32_t expected;
  };
  const Case cases[] = {{"ab", "abc", -1}, {"b", "abc", 1},    {"abc", "abc", 0}, {"\x80", "z", 1},
                        {nullptr, "", 0},  {nullptr, "a", -1}, {"a", nullptr, 1}, {nullptr, nullptr, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.a ? c.a : "absent") << " vs " << (c.b ? c.b : "absent"));
    EXPECT_EQ(compare_text(c.a, c.b), c.expected);
  }
}

TEST(TextOperations, AssignCopiesOrTakesOverATemporary) {
  Text target, copy;
  TempText source = temporary("abc");
  const char* buffer = source.view().data();
  assign_text(target, std::move(source));
  EXPECT_EQ(target.data(), buffer);
  EXPECT_EQ(target.descriptor().length, 3u);  // the temporary flag is cleared
  assign_text(target, target);
  EXPECT_EQ(target.view(), "abc");
  assign_text(copy, target);
  EXPECT_NE(copy.data(), target.data());
  EXPECT_EQ(copy.view(), "abc");
  assign_text(copy, nullptr);
  assign_text(target, "");
  EXPECT_EQ(copy.data(), nullptr);
  EXPECT_EQ(target.data(), nullptr);
}

TEST(TextOperations, ConcatIntoCallerDescriptor) {
  TextDescriptor result;
  Text a, target;
  assign_text(a, "ab");
  TempText joined = concat_text(result, a, temporary("cd"));
  EXPECT_EQ(joined.descriptor(), &result);
  EXPECT_EQ(result.length, 4u | text_temporary_flag);
  EXPECT_STREQ(result.data, "abcd");
  assign_text(target, std::move(joined));
  EXPECT_EQ(target.view(), "abcd");
  EXPECT_EQ(result.data, nullptr);
  EXPECT_TRUE(concat_text(result, "", nullptr).view().empty());
}

TEST(TextOperations, ConcatWithAnEmptyVariableOnEitherSide) {
  Text empty, filled;
  assign_text(filled, "xy");
  TextDescriptor result;
  EXPECT_EQ(concat_text(result, empty, filled).view(), "xy");
  TextDescriptor other;
  EXPECT_EQ(concat_text(other, filled, empty).view(), "xy");
}

// A source inside the target's own buffer, at a length for which the
// target gets new room or keeps it: the bytes are read before the old
// buffer goes or is written.
TEST(TextOperations, AssignAndConcatReadFromTheTargetsOwnBuffer) {
  enum Operation { Assign, ConcatFirst, ConcatSecond };
  struct Case {
    Operation operation;
    std::string held;
    std::size_t offset;  // where the source starts in the held bytes
    std::string expected;
  };
  const Case cases[] = {
      {Assign, std::string(990, 'a') + "0123456789", 990, "0123456789"},
      {ConcatFirst, std::string(32, 'b'), 0, std::string(32, 'b') + "+grown"},
      {ConcatSecond, std::string(32, 'c'), 0, "grown+" + std::string(32, 'c')},
      {ConcatSecond, std::string(32, 'd'), 16, "grown+" + std::string(16, 'd')},  // the room is kept
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    Text target;
    assign_text(target, c.held.c_str());
    const char* source = target.data() + c.offset;
    if (c.operation == Assign) {
      assign_text(target, source);
      EXPECT_EQ(target.view(), c.expected);
    } else {
      TextDescriptor& own = target.descriptor();
      EXPECT_EQ(
          (c.operation == ConcatFirst ? concat_text(own, source, "+grown") : concat_text(own, "grown+", source)).view(),
          c.expected);
    }
  }
}

TEST(TextOperations, ReleaseEmptiesVariables) {
  std::vector<Text> texts(3);
  assign_text(texts[0], "a");
  release_text(texts[0]);
  const TextDescriptor& released = texts[0].descriptor();
  EXPECT_TRUE(released.data == nullptr && released.length == 0 && released.capacity == 0);
  assign_text(texts[0], "a");
  assign_text(texts[2], "c");
  clear_text_array(texts.data(), 3);
  for (const Text& text : texts) EXPECT_EQ(text.data(), nullptr);
}

}  // namespace
}  // namespace lumetra
