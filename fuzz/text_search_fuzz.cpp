// find_text over arbitrary texts and patterns against a plain search at
// every start position, and just outside the text at both ends.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "support/text_from_bytes.h"
#include "text/text.h"

namespace lumetra {
namespace {

// 1-based position of the first occurrence of pattern at or after start, 0
// for none, for an empty text or pattern, or a start outside the text.
std::int32_t plain_search(std::int32_t start, std::string_view text, std::string_view pattern) {
  const auto n = static_cast<std::int32_t>(text.size());
  const auto m = static_cast<std::int32_t>(pattern.size());
  if (n == 0 || m == 0 || start < 1 || start > n) return 0;
  for (std::int32_t at = start - 1; at + m <= n; ++at) {
    std::int32_t i = 0;
    while (i < m && text[at + i] == pattern[i]) ++i;
    if (i == m) return at + 1;
  }
  return 0;
}

}  // namespace
}  // namespace lumetra

// The first byte gives the pattern length (low four bits) and, with its top
// bit, folds every byte onto "ab" so that periodic texts and patterns come
// often; the pattern's bytes follow, the text is the rest (at most 1024
// bytes, which keeps the search at every start quick).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumetra;
  FuzzBytes input(data, size);
  const std::uint8_t control = input.take_byte();
  std::string pattern(input.take(control & 15));
  std::string text(input.take(1024));
  if ((control & 0x80) != 0) {
    for (std::string* bytes : {&pattern, &text}) {
      for (char& byte : *bytes) byte = (byte & 1) != 0 ? 'b' : 'a';
    }
  }
  const Text text_variable = text_of(text);
  const Text pattern_variable = text_of(pattern);
  const auto length = static_cast<std::int32_t>(text.size());
  for (std::int32_t start = -1; start <= length + 2; ++start) {
    fuzz_check(find_text(start, text_variable, pattern_variable) == plain_search(start, text, pattern),
               "find_text finds what the plain search finds");
  }
  return 0;
}
