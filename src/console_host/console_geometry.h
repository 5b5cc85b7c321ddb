// Rectangle arithmetic on SMALL_RECT (inclusive edges) for the console host.
#pragma once

#include <algorithm>

#include "system/console_api.h"

namespace lumetra {

[[nodiscard]] constexpr SMALL_RECT make_rect(int left, int top, int right, int bottom) noexcept {
  return {static_cast<SHORT>(left), static_cast<SHORT>(top), static_cast<SHORT>(right), static_cast<SHORT>(bottom)};
}

[[nodiscard]] constexpr SMALL_RECT intersect(const SMALL_RECT& a, const SMALL_RECT& b) noexcept {
  return make_rect(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                   std::min(a.Bottom, b.Bottom));
}

// The smallest rectangle holding both.
[[nodiscard]] constexpr SMALL_RECT bounding(const SMALL_RECT& a, const SMALL_RECT& b) noexcept {
  return make_rect(std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
                   std::max(a.Bottom, b.Bottom));
}

[[nodiscard]] constexpr bool is_empty(const SMALL_RECT& r) noexcept { return r.Left > r.Right || r.Top > r.Bottom; }

[[nodiscard]] constexpr bool rect_contains(const SMALL_RECT& r, int x, int y) noexcept {
  return x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom;
}

[[nodiscard]] constexpr int rect_width(const SMALL_RECT& r) noexcept { return r.Right - r.Left + 1; }
[[nodiscard]] constexpr int rect_height(const SMALL_RECT& r) noexcept { return r.Bottom - r.Top + 1; }

}  // namespace lumetra
