// Terminal character set: the bytes that show a cell's code page 850 byte
// on the terminal, in the terminal's own codeset.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace lumetra {

// The character a cell byte shows: the console glyphs for 0x01-0x1F and
// 0x7F (a cell never holds a control), a space for 0x00, ASCII, and code
// page 850 above 0x7F.
[[nodiscard]] char32_t cell_code_point(unsigned char byte) noexcept;

class TerminalCharset {
 public:
  // The table for a codeset as nl_langinfo(CODESET) names it; characters the
  // codeset cannot hold show as "?".
  explicit TerminalCharset(const char* codeset);
  // The table for the codeset of the user's locale (LC_CTYPE).
  [[nodiscard]] static TerminalCharset for_locale();

  [[nodiscard]] std::string_view text(unsigned char byte) const noexcept { return texts_[byte]; }

 private:
  std::array<std::string, 256> texts_;
};

}  // namespace lumetra
