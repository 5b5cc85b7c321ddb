// find_text: a byte scan for one-byte patterns, Boyer-Moore with the
// bad-byte and good-suffix rules for longer ones.
#include <cstring>
#include <vector>

#include "text/text.h"

namespace lumetra {
namespace {

// The good-suffix shifts s[0..m] computed with the border table f[0..m].
std::vector<std::int32_t> good_suffix_shifts(std::string_view pattern) {
  const auto m = static_cast<std::int32_t>(pattern.size());
  std::vector<std::int32_t> shift(m + 1, 0);
  std::vector<std::int32_t> border(m + 1, 0);
  std::int32_t i = m;
  std::int32_t j = m + 1;
  border[i] = j;
  while (i > 0) {
    while (j <= m && pattern[i - 1] != pattern[j - 1]) {
      if (shift[j] == 0) shift[j] = j - i;
      j = border[j];
    }
    --i;
    --j;
    border[i] = j;
  }
  j = border[0];
  for (i = 0; i <= m; ++i) {
    if (shift[i] == 0) shift[i] = j;
    if (i == j) j = border[j];
  }
  return shift;
}

std::int32_t boyer_moore(std::string_view text, std::string_view pattern, std::int32_t first_alignment) {
  const auto n = static_cast<std::int32_t>(text.size());
  const auto m = static_cast<std::int32_t>(pattern.size());
  std::int32_t last_position[256];
  std::fill(std::begin(last_position), std::end(last_position), -1);
  for (std::int32_t i = 0; i < m; ++i) last_position[static_cast<unsigned char>(pattern[i])] = i;
  const std::vector<std::int32_t> shift = good_suffix_shifts(pattern);

  std::int32_t alignment = first_alignment;
  while (alignment <= n - m) {
    std::int32_t i = m;
    while (i > 0 && pattern[i - 1] == text[alignment + i - 1]) --i;
    if (i == 0) return alignment + 1;
    const std::int32_t bad_byte = i - 1 - last_position[static_cast<unsigned char>(text[alignment + i - 1])];
    alignment += std::max(shift[i], bad_byte);
  }
  return 0;
}

}  // namespace

std::int32_t find_text(std::int32_t start, TextArg text, TextArg pattern) noexcept {
  const std::string_view haystack = text.view();
  const std::string_view needle = pattern.view();
  const auto length = static_cast<std::int64_t>(haystack.size());
  if (haystack.empty() || needle.empty() || start < 1 || start > length) return 0;
  if (needle.size() > haystack.size()) return 0;
  if (needle.size() == 1) {
    const void* found = std::memchr(haystack.data() + start - 1, needle[0], haystack.size() - (start - 1));
    return found == nullptr ? 0 : static_cast<std::int32_t>(static_cast<const char*>(found) - haystack.data()) + 1;
  }
  try {
    return boyer_moore(haystack, needle, start - 1);
  } catch (const std::bad_alloc&) {
    return 0;  // no room for the search tables
  }
}

}  // namespace lumetra
