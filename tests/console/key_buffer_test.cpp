// The key buffer: ring limits, the key-arrived flag, and key texts.
#include "console/key_buffer.h"

#include <gtest/gtest.h>

#include <vector>

#include "key_test_support.h"

namespace lumetra {
namespace {

TEST(KeyBuffer, FullBufferKeepsTheNewest511Keys) {
  KeyConsole console;
  for (KeyCode key = 0; key < 600; ++key) put_key(key);
  std::vector<KeyCode> keys;
  for (KeyCode key = fetch_key(); key != no_key; key = fetch_key()) keys.push_back(key);
  ASSERT_EQ(keys.size(), 511u);
  EXPECT_EQ(keys.front(), 89);
  EXPECT_EQ(keys.back(), 599);
}

TEST(KeyBuffer, PeekLeavesTheKeyAndFetchTakesIt) {
  KeyConsole console;
  EXPECT_EQ(peek_key(), no_key);
  EXPECT_FALSE(key_available());
  put_key('x');
  put_key(0x48FF);
  EXPECT_TRUE(key_available());
  EXPECT_EQ(peek_key(), 'x');
  EXPECT_EQ(fetch_key(), 'x');
  EXPECT_EQ(fetch_key(), 0x48FF);
  EXPECT_EQ(fetch_key(), no_key);
}

TEST(KeyBuffer, KeyArrivedFlagIsSetByPutAndClearedByTakeOrFetch) {
  KeyConsole console;
  EXPECT_FALSE(take_key_arrived());
  put_key('a');
  EXPECT_TRUE(take_key_arrived());
  EXPECT_FALSE(take_key_arrived());
  put_key('b');
  (void)peek_key();
  EXPECT_TRUE(take_key_arrived());  // looking does not clear it
  put_key('c');
  EXPECT_EQ(fetch_key(), 'a');
  EXPECT_FALSE(take_key_arrived());  // taking a key does
}

TEST(KeyBuffer, KeyTextIsOneByteOrTwoBytesForExtendedKeys) {
  KeyConsole console;
  put_key('q');
  put_key(0x3BFF);
  put_key(255);
  EXPECT_EQ(take_key_text().view(), "q");
  EXPECT_EQ(take_key_text().view(), "\xFF\x3B");
  EXPECT_EQ(take_key_text().view(), "\xFF");
  const TempText none = take_key_text();
  EXPECT_TRUE(none.is_shared_empty());
  EXPECT_EQ(pool_descriptors_in_use(), 0);
}

TEST(KeyBuffer, KeyIsLostWhenNoTemporaryIsLeft) {
  KeyConsole console;
  std::vector<TextDescriptor*> taken;
  while (TextDescriptor* descriptor = take_pool_descriptor()) taken.push_back(descriptor);
  put_key('a');
  put_key('b');
  EXPECT_TRUE(take_key_text().is_shared_empty());
  for (TextDescriptor* descriptor : taken) TempText{descriptor}.release_if_temporary();
  EXPECT_EQ(pool_descriptors_in_use(), 0);
  EXPECT_EQ(take_key_text().view(), "b");
}

}  // namespace
}  // namespace lumetra
