// Key layout: which key types a character, on US key positions, with the
// German keys for the umlauts and sharp s.
#pragma once

#include <optional>

#include "system/console_api.h"

namespace lumetra {

struct KeyPosition {
  WORD vk = 0;    // virtual-key code
  WORD scan = 0;  // scan code
  bool shift = false;
};

// The key that types a code page 850 character (printable ASCII, ä ö ü ß
// Ä Ö Ü, and Backspace 08, Tab 09, Enter 0D, Escape 1B); nullopt when no key
// of the layout types it.
[[nodiscard]] std::optional<KeyPosition> key_position(unsigned char character) noexcept;

// The character a virtual key types without Shift (the capital for letters,
// the digit for the keypad digits), 0 when none: the answer of MapVirtualKeyA(vk, MAPVK_VK_TO_CHAR).
[[nodiscard]] unsigned char key_character(WORD vk) noexcept;

}  // namespace lumetra
