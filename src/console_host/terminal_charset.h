// Terminal character set: the bytes that show a cell's code page 850 byte
// on the terminal, in the terminal's own codeset.
#pragma once

#include <array>
#include <optional>
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
  // The table for the codeset of the user's locale (LC_CTYPE), made at the
  // first call.
  [[nodiscard]] static const TerminalCharset& for_locale();

  [[nodiscard]] std::string_view text(unsigned char byte) const noexcept { return texts_[byte]; }

  // For an 8-bit codeset (Latin-1 and the like): the code page 850
  // character each byte 0x80-0xFF typed on the terminal stands for, "?" for
  // none. Empty for UTF-8, for ASCII and for multibyte codesets, whose
  // terminals are read as UTF-8.
  [[nodiscard]] std::optional<std::array<unsigned char, 128>> typed_upper_half() const;
  // The bytes a terminal of an 8-bit codeset sends for a name typed in code
  // page 850; empty for other codesets, and for a name with a character the
  // codeset does not hold.
  [[nodiscard]] std::string typed_bytes(std::string_view name) const;

 private:
  std::array<std::string, 256> texts_;
  bool eight_bit_ = false;
};

}  // namespace lumetra
