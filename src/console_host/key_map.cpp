// Virtual-key mapping, answered from the key layout table.
#include "console_host/key_layout.h"
#include "system/console_api.h"

namespace lumetra {

// Only the character mapping is served; the console layer asks for no other.
UINT MapVirtualKeyA(UINT code, UINT map_type) {
  if (map_type != MAPVK_VK_TO_CHAR || code > 0xFFFF) return 0;
  return key_character(static_cast<WORD>(code));
}

}  // namespace lumetra
