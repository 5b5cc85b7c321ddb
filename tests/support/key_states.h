// Short names of the control-key states a console key event carries, for
// the tables of keys in the tests.
#pragma once

#include "system/console_api.h"

namespace lumetra::key_states {

inline constexpr DWORD shift = SHIFT_PRESSED;
inline constexpr DWORD ctrl = LEFT_CTRL_PRESSED;
inline constexpr DWORD alt = LEFT_ALT_PRESSED;
inline constexpr DWORD enh = ENHANCED_KEY;

}  // namespace lumetra::key_states
