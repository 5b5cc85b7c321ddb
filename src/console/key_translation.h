// Key translation: turns one console key event into a key code by the PC
// convention (character byte, or 255 plus an extended code).
#pragma once

#include <cstdint>

#include "console/key_buffer.h"
#include "system/console_api.h"

namespace lumetra {

// Translates a key press: character byte c (0 when the event carries none),
// scan code, virtual-key code and control-key state. Returns -1 when the
// event gives no key (a modifier alone, a key without a character or code).
// A key that types a character gives that character; a key without one, or
// an Alt combination on the key's own letter or digit, gives its extended
// code (Alt+A 0x1EFF, F1 0x3BFF, Up 0x48FF).
[[nodiscard]] KeyCode translate_key_event(std::uint8_t c, WORD scan, WORD vk, DWORD state) noexcept;

}  // namespace lumetra
