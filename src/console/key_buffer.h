// Key buffer: the process-wide ring of key codes that the console input
// events are pumped into, and the operations that take keys out of it.
#pragma once

#include <cstdint>

#include "text/text.h"

namespace lumetra {

// A key: -1 none; 0 to 255 a character byte (code page 850); x * 256 + 255
// for an extended key with the code x (Up is 0x48FF).
using KeyCode = std::int32_t;

inline constexpr KeyCode no_key = -1;
inline constexpr int key_buffer_size = 512;

// Builds the key code of the extended code x (1 to 255).
constexpr KeyCode extended_key(std::int32_t x) noexcept { return x * 256 + 255; }

// Adds a key; a full buffer (511 keys) drops its oldest key first. Sets the
// key-arrived flag. Safe on any thread.
void put_key(KeyCode key) noexcept;
// True when the buffer holds 511 keys: the next key would drop the oldest.
[[nodiscard]] bool key_buffer_full() noexcept;

// The operations below pump pending console input into the buffer first, so
// keys typed since the last look are always seen.

// Removes and returns the oldest key, -1 when none; clears the key-arrived
// flag.
[[nodiscard]] KeyCode fetch_key() noexcept;
// Returns the oldest key without removing it, -1 when none.
[[nodiscard]] KeyCode peek_key() noexcept;
// Returns whether a key was added since the flag was last cleared, and
// clears it.
[[nodiscard]] bool take_key_arrived() noexcept;
// True when a key is waiting.
[[nodiscard]] bool key_available() noexcept;
// Removes the oldest key as a temporary text: one byte for a character, the
// two bytes 255 and x for an extended key x. The shared empty text when no
// key was waiting, or when no temporary can be had (the key is then lost).
[[nodiscard]] TempText take_key_text() noexcept;

}  // namespace lumetra
