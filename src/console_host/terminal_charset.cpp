// Terminal character set: cell bytes to the terminal's codeset through iconv.
#include "console_host/terminal_charset.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>
#include <langinfo.h>
#endif

#include <clocale>
#include <cwchar>
#include <string>
#include <string_view>

#include "console_host/code_page_850.h"

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

#if defined(_WIN32)
// Windows has no iconv. There the renderer serves only the tests of the
// console model, which ask for UTF-8.
std::string convert(std::string_view codeset, char32_t code_point) {
  if (code_point < 0x80) return std::string(1, static_cast<char>(code_point));
  const wchar_t wide = static_cast<wchar_t>(code_point);
  char out[8];
  const int length =
      codeset == "UTF-8" ? WideCharToMultiByte(CP_UTF8, 0, &wide, 1, out, sizeof out, nullptr, nullptr) : 0;
  return length > 0 ? std::string(out, static_cast<std::size_t>(length)) : "?";
}
#else
// One character in the target codeset, or "?" when iconv cannot convert it.
std::string convert(iconv_t converter, char32_t code_point) {
  wchar_t in[1] = {static_cast<wchar_t>(code_point)};
  char out[16];
  char* in_pointer = reinterpret_cast<char*>(in);
  char* out_pointer = out;
  std::size_t in_left = sizeof in;
  std::size_t out_left = sizeof out;
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  if (iconv(converter, &in_pointer, &in_left, &out_pointer, &out_left) == static_cast<std::size_t>(-1)) return "?";
  return std::string(out, out_pointer);
}

#endif

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

#if defined(_WIN32)
TerminalCharset::TerminalCharset(const char* codeset) {
  for (int byte = 0; byte < 256; ++byte)
    texts_[byte] = convert(codeset, cell_code_point(static_cast<unsigned char>(byte)));
  eight_bit_ = eight_bit_codeset(codeset, texts_);
}

const TerminalCharset& TerminalCharset::for_locale() {
  static const TerminalCharset charset("UTF-8");
  return charset;
}
#else
TerminalCharset::TerminalCharset(const char* codeset) {
  const iconv_t converter = iconv_open(codeset, "WCHAR_T");
  for (int byte = 0; byte < 256; ++byte) {
    const char32_t code_point = cell_code_point(static_cast<unsigned char>(byte));
    if (converter != reinterpret_cast<iconv_t>(-1)) {
      texts_[byte] = convert(converter, code_point);
    } else {
      texts_[byte] = code_point < 0x7F ? std::string(1, static_cast<char>(code_point)) : "?";
    }
  }
  if (converter != reinterpret_cast<iconv_t>(-1)) iconv_close(converter);
  eight_bit_ = eight_bit_codeset(codeset, texts_);
}

// The program itself keeps the C locale: only the codeset is borrowed.
const TerminalCharset& TerminalCharset::for_locale() {
  static const TerminalCharset charset = [] {
    const std::string previous = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "");
    const std::string codeset = nl_langinfo(CODESET);
    std::setlocale(LC_CTYPE, previous.c_str());
    return TerminalCharset(codeset.c_str());
  }();
  return charset;
}
#endif

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
