// Console key events in, key codes out.
#include "console/key_translation.h"

#include <gtest/gtest.h>

#include "support/key_states.h"

namespace lumetra {
namespace {

using namespace key_states;

struct Case {
  const char* name;
  std::uint8_t character;
  WORD scan;
  WORD vk;
  DWORD state;
  KeyCode expected;
};

constexpr Case cases[] = {
    // characters stay characters
    {"a", 'a', 0x1E, 0x41, 0, 'a'},
    {"Shift+A", 'A', 0x1E, 0x41, shift, 'A'},
    {"Ctrl+A", 0x01, 0x1E, 0x41, ctrl, 1},
    {"Ctrl+Backspace", 0x7F, 0x0E, 0x08, ctrl, 127},
    {"Enter", 0x0D, 0x1C, 0x0D, 0, 13},
    {"Escape", 0x1B, 0x01, 0x1B, 0, 27},
    {"a umlaut", 0x84, 0x28, 0xDE, 0, 0x84},
    {"Alt+a umlaut (not the key's own character)", 0x84, 0x28, 0xDE, alt, 0x84},
    {"character beyond the table", 'x', 0x70, 0, 0, 'x'},
    {"right Ctrl+A", 0x01, 0x1E, 0x41, RIGHT_CTRL_PRESSED, 1},
    // Alt on a key's own character gives its extended code
    {"Alt+A", 'a', 0x1E, 0x41, alt, 0x1EFF},
    {"right Alt+A", 'a', 0x1E, 0x41, RIGHT_ALT_PRESSED, 0x1EFF},
    {"Alt+Shift+A", 'A', 0x1E, 0x41, alt | shift, 0x1EFF},
    {"Alt+1", '1', 0x02, 0x31, alt, 0x78FF},
    {"Alt+7 (as Alt+-)", '7', 0x08, 0x37, alt, 0x82FF},
    {"Alt+Backspace", 0x08, 0x0E, 0x08, alt, 0xE0FF},
    {"Alt+Escape", 0x1B, 0x01, 0x1B, alt, 0x01FF},
    {"Shift+Tab", 0x09, 0x0F, 0x09, shift, 0x0FFF},
    {"Ctrl+Tab", 0x09, 0x0F, 0x09, ctrl, 0x94FF},
    // keys without a character
    {"F1", 0, 0x3B, 0x70, 0, 0x3BFF},
    {"Shift+F1", 0, 0x3B, 0x70, shift, 0x54FF},
    {"Ctrl+F1", 0, 0x3B, 0x70, ctrl, 0x5EFF},
    {"Alt+F1", 0, 0x3B, 0x70, alt, 0x68FF},
    {"Alt+F4", 0, 0x3E, 0x73, alt, 0x6BFF},
    {"Alt+Ctrl+F4 (Alt first)", 0, 0x3E, 0x73, alt | ctrl, 0x6BFF},
    {"F10", 0, 0x44, 0x79, 0, 0x44FF},
    {"Alt+F10", 0, 0x44, 0x79, alt, 0x71FF},
    {"F11", 0, 0x57, 0x7A, 0, 0x85FF},
    {"Ctrl+F12", 0, 0x58, 0x7B, ctrl, 0x8AFF},
    {"keypad Up, NumLock off", 0, 0x48, 0x26, 0, 0x48FF},
    {"Ctrl+keypad 5", 0, 0x4C, 0x0C, ctrl, 0x8FFF},
    // enhanced keys
    {"Up", 0, 0x48, 0x26, enh, 0x48FF},
    {"Shift+Up", 0, 0x48, 0x26, enh | shift, 0x48FF},
    {"Ctrl+Up", 0, 0x48, 0x26, enh | ctrl, 0x8DFF},
    {"Alt+Up", 0, 0x48, 0x26, enh | alt, 0x98FF},
    {"Home", 0, 0x47, 0x24, enh, 0x47FF},
    {"Delete", 0, 0x53, 0x2E, enh, 0x53FF},
    {"Ctrl+keypad /", 0, 0x35, 0x6F, enh | ctrl, 0x95FF},
    {"keypad Enter as character", 0x0D, 0x1C, 0x0D, enh, 13},
    {"enhanced key without a row", 0, 0x1D, 0x11, enh | ctrl, no_key},
    // no key at all
    {"Shift alone", 0, 0x2A, 0x10, shift, no_key},
    {"Ctrl alone", 0, 0x1D, 0x11, ctrl, no_key},
    {"Alt alone", 0, 0x38, 0x12, alt, no_key},
    {"Caps Lock", 0, 0x3A, 0x14, 0, no_key},
    {"Ctrl+2 without a character", 0, 0x03, 0x32, ctrl, no_key},
    {"beyond the table without a character", 0, 0x70, 0, 0, no_key},
};

TEST(KeyTranslation, GivesTheKeyCodeOfEachEvent) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(translate_key_event(c.character, c.scan, c.vk, c.state), c.expected);
  }
}

}  // namespace
}  // namespace lumetra
