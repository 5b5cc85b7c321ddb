// Text variables made from arbitrary bytes for tests.
#pragma once

#include <cstdint>
#include <string_view>

#include "text/text.h"

namespace lumetra {

// A text variable holding exactly these bytes, zero bytes included.
inline Text text_of(std::string_view bytes) {
  Text text;
  assign_text(text, mid_text(text_from_literal(bytes.data(), static_cast<std::int32_t>(bytes.size())), 1, -1));
  return text;
}

}  // namespace lumetra
