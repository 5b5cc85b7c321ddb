// A temporary text holding a copy of some bytes, as the text operations
// hand out their results.
#pragma once

#include "text/text.h"

namespace lumetra {

inline TempText temporary(const char* bytes) { return mid_text(bytes, 1, -1); }

}  // namespace lumetra
