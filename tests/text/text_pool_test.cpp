// Tests of the pool of temporaries, their consumption, and the capacity
// policy of text buffers.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "system/memory.h"
#include "temporary_text.h"
#include "text/numeric_text.h"
#include "text/text.h"

namespace lumetra {
namespace {

void fill(Text& text, std::size_t length) { assign_text(text, std::string(length, 'x').c_str()); }

TEST(TextPool, RunsOutAfterLastTemporaryAndReleasingMakesRoom) {
  std::vector<TempText> held;
  for (int i = 0; i < text_pool_size; ++i) held.push_back(text_from_literal("a", 1));
  ASSERT_FALSE(held.back().is_shared_empty());
  const std::pair<const char*, std::function<TempText()>> makers[] = {
      {"literal", [] { return text_from_literal("abc", 3); }},
      {"mid", [] { return mid_text("abc", 1, 2); }},
      {"left", [] { return left_text("abc", 2); }},
      {"right", [] { return right_text("abc", 2); }},
      {"trim", [] { return trim_leading_blanks(" a"); }},
      {"integer", [] { return integer_to_text(42); }}};
  for (const auto& [name, make] : makers) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(make().is_shared_empty());
  }
  held.pop_back();
  EXPECT_EQ(left_text("abc", 2).view(), "ab");
}

TEST(TextPool, ConsumersReturnTemporariesOnEveryPath) {
  Text target;
  TextDescriptor result;
  const std::pair<const char*, std::function<void()>> uses[] = {
      {"mid start 0", [] { (void)mid_text(temporary("abc"), 0, 1); }},
      {"left count 0", [] { (void)left_text(temporary("abc"), 0); }},
      {"right negative", [] { (void)right_text(temporary("abc"), -1); }},
      {"trim blanks only", [] { (void)trim_leading_blanks(temporary("  ")); }},
      {"find too far", [] { (void)find_text(9, temporary("abc"), temporary("bc")); }},
      {"compare", [] { (void)compare_text(temporary("a"), temporary("b")); }},
      {"length", [] { (void)text_length(temporary("abc")); }},
      {"numeric value", [] { (void)numeric_value(temporary("12")); }},
      {"literal", [] { (void)left_text(text_from_literal("abc", 3), 9); }},
      {"assign takes over", [&] { assign_text(target, temporary("abc")); }},
      {"assign literal", [&] { assign_text(target, text_from_literal("abcd", 4)); }},
      {"assign empty", [&] { assign_text(target, left_text("abc", 0)); }},
      {"concat", [&] { assign_text(target, concat_text(result, temporary("a"), temporary("b"))); }}};
  for (const auto& [name, use] : uses) {
    SCOPED_TRACE(name);
    use();
    EXPECT_EQ(pool_descriptors_in_use(), 0);
    EXPECT_EQ(result.data, nullptr);
  }
}

TEST(TextPool, LiteralIsWrappedNotCopiedAndNeverFreed) {
  static const char bytes[] = "abc";
  TempText literal = text_from_literal(bytes, 3);
  EXPECT_EQ(literal.view().data(), bytes);
  Text copy;
  assign_text(copy, std::move(literal));  // freeing the static bytes would fail the sanitized build
  EXPECT_NE(copy.data(), bytes);
  EXPECT_EQ(copy.view(), "abc");
}

TEST(TextPool, CapacityIsLengthRoundedToThirtyTwoPlusAnEighth) {
  const int cases[][2] = {{1, 36}, {32, 36}, {33, 72}, {64, 72}, {65, 108}};
  for (const auto& [length, capacity] : cases) {
    SCOPED_TRACE(length);
    Text text;
    fill(text, length);
    EXPECT_EQ(text.capacity(), capacity);
    EXPECT_EQ(text.data()[length], '\0');
  }
}

// The old buffer is kept when c >= L and c - c/8 <= the target for L. The
// old capacity is exactly the old length: its target allocation fails.
TEST(TextPool, KeepRuleBothWays) {
  const int cases[][3] = {{100, 70, 100}, {82, 64, 82}, {83, 64, 72}, {100, 30, 36}, {82, 83, 108}};
  for (const auto& [old_length, length, capacity] : cases) {
    SCOPED_TRACE(testing::Message() << old_length << " to " << length);
    Text text;
    {
      FailingAllocations target_fails(0, 1);
      fill(text, old_length);
    }
    ASSERT_EQ(text.capacity(), old_length);
    const bool kept = capacity == old_length;
    FailingAllocations no_memory_if_kept(kept ? 0 : -1);  // keeping allocates nothing
    fill(text, length);
    EXPECT_EQ(text.capacity(), capacity);
    EXPECT_EQ(text.size(), length);
  }
}

TEST(TextPool, EveryAllocationFailing) {
  Text plain, keeping;
  fill(plain, 3);
  fill(keeping, 3);
  const char* buffer = keeping.data();
  FailingAllocations no_memory;
  fill(plain, 50);
  EXPECT_EQ(plain.data(), nullptr);
  EXPECT_EQ(plain.size(), 0);
  EXPECT_FALSE(reserve_text_keeping(keeping.descriptor(), 50));
  EXPECT_EQ(keeping.data(), buffer);
  EXPECT_EQ(keeping.capacity(), 36);
  EXPECT_EQ(keeping.view(), "xxx");
  EXPECT_TRUE(mid_text("abc", 1, 2).is_shared_empty());
  EXPECT_TRUE(integer_to_text(7).is_shared_empty());
  TextDescriptor result;
  EXPECT_TRUE(concat_text(result, "a", "b").view().empty());
  EXPECT_EQ(pool_descriptors_in_use(), 0);
}

// A text holds at most 2 GiB less one byte: more is refused like memory that
// cannot be had, without trying to allocate it.
TEST(TextPool, NoTextHoldsMoreThanItsLengthField) {
  Text plain, keeping;
  fill(plain, 3);
  fill(keeping, 3);
  const FailingAllocations any_allocation_would_fail;
  EXPECT_FALSE(reserve_text_keeping(keeping.descriptor(), text_length_mask + 1));
  EXPECT_EQ(keeping.view(), "xxx");
  EXPECT_FALSE(reserve_text_plain(plain.descriptor(), text_length_mask + 1));
  EXPECT_EQ(plain.data(), nullptr);
}

TEST(TextPool, KeepingReservationGrowsWithContent) {
  Text text;
  assign_text(text, "abc");
  {
    FailingAllocations target_fails(0, 1);
    EXPECT_TRUE(reserve_text_keeping(text.descriptor(), 50));
  }
  EXPECT_EQ(text.capacity(), 50);
  EXPECT_TRUE(reserve_text_keeping(text.descriptor(), 100));
  EXPECT_EQ(text.capacity(), 144);
  EXPECT_EQ(text.view(), "abc");
}

}  // namespace
}  // namespace lumetra
