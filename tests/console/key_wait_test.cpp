// Pumping console key events into the key buffer, the timed waits, and the
// close request.
#include "console/key_wait.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

#include "key_test_support.h"
#include "support/key_states.h"

namespace lumetra {
namespace {

using namespace key_states;

std::vector<KeyCode> buffered_keys() {
  std::vector<KeyCode> keys;
  for (KeyCode key = fetch_key(); key != no_key; key = fetch_key()) keys.push_back(key);
  return keys;
}

INPUT_RECORD key_record(bool down, WORD vk, WORD scan, unsigned char character, DWORD state, WORD repeat = 1) {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
  record.Event.KeyEvent.wRepeatCount = repeat;
  record.Event.KeyEvent.wVirtualKeyCode = vk;
  record.Event.KeyEvent.wVirtualScanCode = scan;
  record.Event.KeyEvent.uChar.AsciiChar = static_cast<CHAR>(character);
  record.Event.KeyEvent.dwControlKeyState = state;
  return record;
}

// Alt held while the keypad digits are typed (NumLock on), then let go.
void type_alt_number(ScopedTestConsole& console, std::initializer_list<int> digits) {
  console.push_record(key_record(true, VK_MENU, 0x38, 0, alt));
  constexpr WORD keypad_scan[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
  for (const int digit : digits) {
    console.push_key(static_cast<WORD>(VK_NUMPAD0 + digit), keypad_scan[digit], 0, alt | NUMLOCK_ON);
  }
  console.push_record(key_record(false, VK_MENU, 0x38, 0, NUMLOCK_ON));
}

TEST(KeyWait, PumpTranslatesKeyEvents) {
  KeyConsole console;
  console->push_key(0x70, 0x3B, 0, 0);                     // F1
  console->push_key(0x73, 0x3E, 0, alt);                   // Alt+F4
  console->push_key(0x41, 0x1E, 'a', alt);                 // Alt+A
  console->push_key(0x41, 0x1E, 0x01, LEFT_CTRL_PRESSED);  // Ctrl+A
  console->push_key(0x08, 0x0E, 0x7F, LEFT_CTRL_PRESSED);  // Ctrl+Backspace
  console->push_key(0x08, 0x0E, 0x08, alt);                // Alt+Backspace
  console->push_key(0x26, 0x48, 0, ENHANCED_KEY);          // Up
  EXPECT_EQ(buffered_keys(), (std::vector<KeyCode>{0x3BFF, 0x6BFF, 0x1EFF, 1, 127, 0xE0FF, 0x48FF}));
}

TEST(KeyWait, ModifiersAloneAddNoKey) {
  KeyConsole console;
  console->push_key(VK_SHIFT, 0x2A, 0, SHIFT_PRESSED);
  console->push_key(VK_CONTROL, 0x1D, 0, LEFT_CTRL_PRESSED);
  console->push_key(VK_MENU, 0x38, 0, alt);
  EXPECT_FALSE(key_available());
  EXPECT_FALSE(take_key_arrived());
  wait_for_key(120);
  EXPECT_EQ((*console).sleeps(), (std::vector<DWORD>{50, 50, 20}));
}

TEST(KeyWait, OneKeyPerPressWhateverTheRepeatCount) {
  KeyConsole console;
  console->push_record(key_record(true, 0x41, 0x1E, 'a', 0, 3));
  console->push_record(key_record(true, 0x41, 0x1E, 'b', 0, 0));  // repeat 0: dropped
  console->push_record(key_record(true, 0x41, 0x1E, 'c', 0, 1));
  INPUT_RECORD resize{};
  resize.EventType = WINDOW_BUFFER_SIZE_EVENT;
  console->push_record(resize);
  EXPECT_EQ(buffered_keys(), (std::vector<KeyCode>{'a', 'c'}));
}

// The pump leaves what does not fit in the console's queue until keys are taken.
TEST(KeyWait, KeysBeyondAFullBufferWaitInTheConsoleQueue) {
  KeyConsole console;
  for (int i = 0; i < 600; ++i) console->push_key(0x41, 0x1E, static_cast<unsigned char>(i % 200 + 32), 0);
  EXPECT_TRUE(key_available());
  EXPECT_EQ(console->model().input_count(), 2u * (600 - 511) + 1);  // with the last taken key's release
  const std::vector<KeyCode> keys = buffered_keys();
  ASSERT_EQ(keys.size(), 600u);
  for (int i = 0; i < 600; ++i) EXPECT_EQ(keys[i], i % 200 + 32) << i;
}

TEST(KeyWait, AltWithKeypadDigitsComposesACharacter) {
  KeyConsole console;
  type_alt_number(*console, {6, 5});
  type_alt_number(*console, {3, 2, 1});  // 321 modulo 256
  type_alt_number(*console, {0});        // 0 gives nothing
  type_alt_number(*console, {5, 1, 2});  // a non-zero multiple of 256 gives 0
  type_alt_number(*console,
                  {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 6, 5});  // modulo 256, no overflow
  EXPECT_EQ(buffered_keys(), (std::vector<KeyCode>{65, 65, 0, 221}));
}

TEST(KeyWait, TimedWaitLooksBeforeTheFirstStepsOnly) {
  struct Case {
    const char* name;
    std::int32_t milliseconds;
    int key_after_sleep;  // a key is typed after this many sleeps, 0 never
    std::vector<DWORD> sleeps;
  };
  const Case cases[] = {
      {"120 ms, no key", 120, 0, {50, 50, 20}},
      {"120 ms, key in the first step", 120, 1, {50}},
      {"120 ms, key in the second step is not seen", 120, 2, {50, 50, 20}},
      {"100 ms", 100, 0, {50, 50}},
      {"80 ms ignores keys", 80, 1, {80}},
      {"0 ms", 0, 0, {0}},
      {"-2 returns at once", -2, 0, {}},
      {"-1 waits for the key", -1, 3, {50, 50, 50}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    KeyConsole console;
    int sleeps = 0;
    console->on_sleep([&](DWORD) {
      if (++sleeps == c.key_after_sleep) console->push_key(0x41, 0x1E, 'a');
    });
    wait_for_key(c.milliseconds);
    EXPECT_EQ(console->sleeps(), c.sleeps);
  }
}

TEST(KeyWait, WaitConsumesNoKeyAndEndsAtOnceOnAnEarlierKey) {
  KeyConsole console;
  console->push_key(0x0D, 0x1C, 0x0D);
  wait_for_key(500);
  EXPECT_TRUE(console->sleeps().empty());
  console->push_key(0x1B, 0x01, 0x1B);
  wait_for_key(-1);
  EXPECT_TRUE(console->sleeps().empty());
  EXPECT_EQ(fetch_key(), 13);
  EXPECT_EQ(fetch_key(), 27);
}

TEST(KeyWait, UnlimitedWaitReturnsAtOnceWhenInputIsNoConsole) {
  KeyConsole console;
  const int null_input = open("/dev/null", O_RDONLY);
  ASSERT_GE(null_input, 0);
  console->redirect_input(null_input);
  reset_console_state();
  wait_for_key(-1);
  EXPECT_TRUE(console->sleeps().empty());
  close(null_input);
}

TEST(KeyWait, CloseRequestsAddAltF4) {
  KeyConsole console;
  for (const DWORD type : {CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT}) {
    EXPECT_EQ(console_close_handler(type), TRUE);
  }
  for (const DWORD type : {CTRL_C_EVENT, CTRL_BREAK_EVENT}) {
    EXPECT_EQ(console_close_handler(type), FALSE);
  }
  EXPECT_EQ(buffered_keys(), (std::vector<KeyCode>{0x6BFF, 0x6BFF, 0x6BFF}));
}

}  // namespace
}  // namespace lumetra
