// Terminal character set: cell bytes to the terminal's codeset.
#include "console_host/terminal_charset.h"

#include <string>
#include <string_view>

#include "console_host/code_page_850.h"
#include "system/codesets.h"

namespace lumetra {

namespace {

// The glyphs a console shows for the bytes 0x01 to 0x1F.
constexpr std::array<char16_t, 31> control_glyphs{
    0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8,  // 01
    0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C, 0x25BA,  // 09
    0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8, 0x2191,  // 11
    0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,          // 19
};
constexpr char32_t house_glyph = 0x2302;  // 0x7F

// Every upper byte shows as one byte, and not all of them as "?" (which is
// what ASCII shows them as).
bool eight_bit_codeset(std::string_view codeset, const std::array<std::string, 256>& texts) {
  if (codeset == "UTF-8") return false;
  bool any_shown = false;
  for (std::size_t byte = 0x80; byte < texts.size(); ++byte) {
    if (texts[byte].size() != 1) return false;
    any_shown = any_shown || texts[byte] != "?";
  }
  return any_shown;
}

}  // namespace

char32_t cell_code_point(unsigned char byte) noexcept {
  if (byte == 0x00) return U' ';
  if (byte < 0x20) return control_glyphs[byte - 1];
  if (byte == 0x7F) return house_glyph;
  return code_page_850_to_unicode(byte);
}

TerminalCharset::TerminalCharset(const char* codeset) {
  const CodesetWriter writer(codeset);
  for (int byte = 0; byte < 256; ++byte)
    texts_[byte] = writer.bytes_of(cell_code_point(static_cast<unsigned char>(byte)));
  eight_bit_ = eight_bit_codeset(codeset, texts_);
}

const TerminalCharset& TerminalCharset::for_locale() {
  static const TerminalCharset charset(locale_codeset().c_str());
  return charset;
}

std::optional<std::array<unsigned char, 128>> TerminalCharset::typed_upper_half() const {
  if (!eight_bit_) return std::nullopt;
  std::array<unsigned char, 128> upper_half;
  upper_half.fill('?');
  for (int character = 0x80; character < 0x100; ++character) {
    const std::string_view sent = texts_[character];
    const auto byte = static_cast<unsigned char>(sent[0]);
    if (byte >= 0x80) upper_half[byte - 0x80] = static_cast<unsigned char>(character);
  }
  return upper_half;
}

std::string TerminalCharset::typed_bytes(std::string_view name) const {
  if (!eight_bit_) return {};
  std::string bytes;
  for (const char character : name) {
    const auto code = static_cast<unsigned char>(character);
    const std::string_view sent = code < 0x80 ? std::string_view(&character, 1) : texts_[code];
    if (sent == "?" && code >= 0x80) return {};
    bytes += sent;
  }
  return bytes;
}

}  // namespace lumetra
