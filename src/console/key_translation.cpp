// Key translation by two constant tables: one row per scan code for the
// main keys, and the enhanced keys (cursor block, keypad Enter and slash).
#include "console/key_translation.h"

#include <array>
#include <cctype>

namespace lumetra {
namespace {

// Columns of both tables, chosen by modifier priority Alt, Ctrl, Shift.
enum Column { Plain = 0, Shifted = 1, Ctrl = 2, Alt = 3 };

// A table value above 255 holds an extended code in its high byte.
constexpr std::uint16_t ext(std::uint16_t code) { return static_cast<std::uint16_t>(code << 8); }
// The key's own character (only extended entries are ever used).
constexpr std::uint16_t own = 0;

using KeyRow = std::array<std::uint16_t, 4>;  // plain, Shift, Ctrl, Alt

// Main keys by scan code 0x00 to 0x58.
constexpr std::array<KeyRow, 89> ScanKeyTable{{
    {own, own, own, own},                          // 00 none
    {own, own, own, ext(0x01)},                    // 01 Esc
    {own, own, own, ext(0x78)},                    // 02 1
    {own, own, ext(0x03), ext(0x79)},              // 03 2
    {own, own, own, ext(0x7A)},                    // 04 3
    {own, own, own, ext(0x7B)},                    // 05 4
    {own, own, own, ext(0x7C)},                    // 06 5
    {own, own, own, ext(0x7D)},                    // 07 6
    {own, own, own, ext(0x82)},                    // 08 7
    {own, own, own, ext(0x83)},                    // 09 8
    {own, own, own, ext(0x80)},                    // 0A 9
    {own, own, own, ext(0x81)},                    // 0B 0
    {own, own, own, ext(0x82)},                    // 0C -
    {own, own, own, ext(0x83)},                    // 0D =
    {own, own, own, ext(0xE0)},                    // 0E Backspace
    {own, ext(0x0F), ext(0x94), ext(0x0F)},        // 0F Tab
    {own, own, own, ext(0x10)},                    // 10 Q
    {own, own, own, ext(0x11)},                    // 11 W
    {own, own, own, ext(0x12)},                    // 12 E
    {own, own, own, ext(0x13)},                    // 13 R
    {own, own, own, ext(0x14)},                    // 14 T
    {own, own, own, ext(0x15)},                    // 15 Y
    {own, own, own, ext(0x16)},                    // 16 U
    {own, own, own, ext(0x17)},                    // 17 I
    {own, own, own, ext(0x18)},                    // 18 O
    {own, own, own, ext(0x19)},                    // 19 P
    {own, own, own, ext(0x1A)},                    // 1A [
    {own, own, own, ext(0x1B)},                    // 1B ]
    {own, own, own, ext(0x1C)},                    // 1C Enter
    {own, own, own, own},                          // 1D Ctrl
    {own, own, own, ext(0x1E)},                    // 1E A
    {own, own, own, ext(0x1F)},                    // 1F S
    {own, own, own, ext(0x20)},                    // 20 D
    {own, own, own, ext(0x21)},                    // 21 F
    {own, own, own, ext(0x22)},                    // 22 G
    {own, own, own, ext(0x23)},                    // 23 H
    {own, own, own, ext(0x24)},                    // 24 J
    {own, own, own, ext(0x25)},                    // 25 K
    {own, own, own, ext(0x26)},                    // 26 L
    {own, own, own, ext(0x27)},                    // 27 ;
    {own, own, own, ext(0x28)},                    // 28 '
    {own, own, own, ext(0x29)},                    // 29 `
    {own, own, own, own},                          // 2A left Shift
    {own, own, own, own},                          // 2B backslash (no extended code)
    {own, own, own, ext(0x2C)},                    // 2C Z
    {own, own, own, ext(0x2D)},                    // 2D X
    {own, own, own, ext(0x2E)},                    // 2E C
    {own, own, own, ext(0x2F)},                    // 2F V
    {own, own, own, ext(0x30)},                    // 30 B
    {own, own, own, ext(0x31)},                    // 31 N
    {own, own, own, ext(0x32)},                    // 32 M
    {own, own, own, ext(0x33)},                    // 33 ,
    {own, own, own, ext(0x34)},                    // 34 .
    {own, own, own, ext(0x35)},                    // 35 /
    {own, own, own, own},                          // 36 right Shift
    {own, own, own, own},                          // 37 keypad *
    {own, own, own, own},                          // 38 Alt
    {own, own, own, own},                          // 39 Space
    {own, own, own, own},                          // 3A Caps Lock
    {ext(0x3B), ext(0x54), ext(0x5E), ext(0x68)},  // 3B F1
    {ext(0x3C), ext(0x55), ext(0x5F), ext(0x69)},  // 3C F2
    {ext(0x3D), ext(0x56), ext(0x60), ext(0x6A)},  // 3D F3
    {ext(0x3E), ext(0x57), ext(0x61), ext(0x6B)},  // 3E F4
    {ext(0x3F), ext(0x58), ext(0x62), ext(0x6C)},  // 3F F5
    {ext(0x40), ext(0x59), ext(0x63), ext(0x6D)},  // 40 F6
    {ext(0x41), ext(0x5A), ext(0x64), ext(0x6E)},  // 41 F7
    {ext(0x42), ext(0x5B), ext(0x65), ext(0x6F)},  // 42 F8
    {ext(0x43), ext(0x5C), ext(0x66), ext(0x70)},  // 43 F9
    {ext(0x44), ext(0x5D), ext(0x67), ext(0x71)},  // 44 F10
    {own, own, own, own},                          // 45 Num Lock
    {own, own, own, own},                          // 46 Scroll Lock
    {ext(0x47), own, ext(0x77), own},              // 47 keypad 7 / Home
    {ext(0x48), own, ext(0x8D), own},              // 48 keypad 8 / Up
    {ext(0x49), own, ext(0x84), own},              // 49 keypad 9 / Page Up
    {own, own, own, own},                          // 4A keypad -
    {ext(0x4B), own, ext(0x73), own},              // 4B keypad 4 / Left
    {ext(0x4C), own, ext(0x8F), ext(0x4C)},        // 4C keypad 5
    {ext(0x4D), own, ext(0x74), own},              // 4D keypad 6 / Right
    {own, own, own, own},                          // 4E keypad +
    {ext(0x4F), own, ext(0x75), own},              // 4F keypad 1 / End
    {ext(0x50), own, ext(0x91), own},              // 50 keypad 2 / Down
    {ext(0x51), own, ext(0x76), own},              // 51 keypad 3 / Page Down
    {ext(0x52), own, ext(0x92), own},              // 52 keypad 0 / Insert
    {ext(0x53), own, ext(0x93), own},              // 53 keypad . / Delete
    {own, own, own, own},                          // 54 SysRq
    {own, own, own, own},                          // 55 none
    {own, own, own, own},                          // 56 102nd key
    {ext(0x85), ext(0x87), ext(0x89), ext(0x8B)},  // 57 F11
    {ext(0x86), ext(0x88), ext(0x8A), ext(0x8C)},  // 58 F12
}};
static_assert(ScanKeyTable.size() == 0x59);

// Enhanced keys: here 1 to 255 is the key code itself and 0 in the Shift,
// Ctrl or Alt column means no key.
struct GreyKey {
  std::uint16_t scan;
  KeyRow values;
};

constexpr std::array<GreyKey, 12> GreyKeyTable{{
    {0x1C, {13, 13, 10, ext(0xA6)}},                       // keypad Enter
    {0x35, {47, 63, ext(0x95), ext(0xA4)}},                // keypad /
    {0x47, {ext(0x47), ext(0x47), ext(0x77), ext(0x97)}},  // Home
    {0x48, {ext(0x48), ext(0x48), ext(0x8D), ext(0x98)}},  // Up
    {0x49, {ext(0x49), ext(0x49), ext(0x84), ext(0x99)}},  // Page Up
    {0x4B, {ext(0x4B), ext(0x4B), ext(0x73), ext(0x9B)}},  // Left
    {0x4D, {ext(0x4D), ext(0x4D), ext(0x74), ext(0x9D)}},  // Right
    {0x4F, {ext(0x4F), ext(0x4F), ext(0x75), ext(0x9F)}},  // End
    {0x50, {ext(0x50), ext(0x50), ext(0x91), ext(0xA0)}},  // Down
    {0x51, {ext(0x51), ext(0x51), ext(0x76), ext(0xA1)}},  // Page Down
    {0x52, {ext(0x52), ext(0x52), ext(0x92), ext(0xA2)}},  // Insert
    {0x53, {ext(0x53), ext(0x53), ext(0x93), ext(0xA3)}},  // Delete
}};

Column modifier_column(DWORD state) noexcept {
  if (state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) return Alt;
  if (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) return Ctrl;
  if (state & SHIFT_PRESSED) return Shifted;
  return Plain;
}

KeyCode key_of_value(std::uint16_t value) noexcept { return (value & 0xFF00) | 0xFF; }

KeyCode translate_grey_key(WORD scan, DWORD state) noexcept {
  for (const GreyKey& key : GreyKeyTable) {
    if (key.scan != scan) continue;
    const Column column = modifier_column(state);
    const std::uint16_t value = key.values[column];
    if (value == 0 && column != Plain) return no_key;
    return value > 255 ? key_of_value(value) : value;
  }
  return no_key;
}

int swap_case(int c) noexcept {
  if (std::isupper(c)) return std::tolower(c);
  if (std::islower(c)) return std::toupper(c);
  return c;
}

}  // namespace

KeyCode translate_key_event(std::uint8_t c, WORD scan, WORD vk, DWORD state) noexcept {
  if (c == 0 && (state & ENHANCED_KEY)) return translate_grey_key(scan, state);
  const KeyCode character = c != 0 ? c : no_key;
  if (scan >= ScanKeyTable.size()) return character;
  const int base = static_cast<int>(MapVirtualKeyA(vk, MAPVK_VK_TO_CHAR) & 0xFFFF);
  const Column column = modifier_column(state);
  const std::uint16_t value = column != Plain ? ScanKeyTable[scan][column]
                              : c != 0        ? static_cast<std::uint16_t>(base)
                                              : ScanKeyTable[scan][Plain];
  // Extended only when the key typed its own character (or none at all).
  if (value > 255 && (c == base || c == swap_case(base))) return key_of_value(value);
  return character;
}

}  // namespace lumetra
