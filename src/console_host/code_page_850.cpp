// Code page 850 by one table of its upper half.
#include "console_host/code_page_850.h"

#include <array>
#include <cstdint>

namespace lumetra {
namespace {

// Unicode code points of the bytes 0x80 to 0xFF.
constexpr std::array<char16_t, 128> upper_half{
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  // 90
    0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,  // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  // A0
    0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0,  // B0
    0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,  // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,  // C8
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,  // D0
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,  // D8
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE,  // E0
    0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,  // E8
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,  // F0
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,  // F8
};

// Length of the valid UTF-8 character at the start of bytes, 0 when invalid.
std::size_t utf8_character_length(std::string_view bytes) noexcept {
  const std::size_t length = utf8_sequence_length(static_cast<unsigned char>(bytes[0]));
  if (length == 0 || length > bytes.size()) return 0;
  return decode_utf8(bytes.substr(0, length)) < 0 ? 0 : length;
}

bool is_valid_utf8(std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const std::size_t length = utf8_character_length(bytes);
    if (length == 0) return false;
    bytes.remove_prefix(length);
  }
  return true;
}

// Encodes a code point below 0x10000 into out; returns the byte count.
std::size_t encode_utf8(char32_t code_point, char* out) noexcept {
  if (code_point < 0x80) {
    out[0] = static_cast<char>(code_point);
    return 1;
  }
  if (code_point < 0x800) {
    out[0] = static_cast<char>(0xC0 | (code_point >> 6));
    out[1] = static_cast<char>(0x80 | (code_point & 0x3F));
    return 2;
  }
  out[0] = static_cast<char>(0xE0 | (code_point >> 12));
  out[1] = static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
  out[2] = static_cast<char>(0x80 | (code_point & 0x3F));
  return 3;
}

}  // namespace

std::size_t utf8_sequence_length(unsigned char lead) noexcept {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

std::int32_t decode_utf8(std::string_view sequence) noexcept {
  const std::size_t length = sequence.size();
  if (length == 0 || length > 4) return -1;
  std::int32_t code_point = static_cast<unsigned char>(sequence[0]) & (length == 1 ? 0x7F : 0x3F >> (length - 1));
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(sequence[i]);
    if ((next & 0xC0) != 0x80) return -1;
    code_point = (code_point << 6) | (next & 0x3F);
  }
  constexpr std::int32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code_point < smallest[length] || code_point > 0x10FFFF) return -1;  // overlong, beyond Unicode
  if (code_point >= 0xD800 && code_point <= 0xDFFF) return -1;            // surrogates
  return code_point;
}

char32_t code_page_850_to_unicode(unsigned char byte) noexcept { return byte < 0x80 ? byte : upper_half[byte - 0x80]; }

int code_page_850_from_unicode(char32_t code_point) noexcept {
  if (code_point < 0x80) return static_cast<int>(code_point);
  for (std::size_t i = 0; i < upper_half.size(); ++i) {
    if (upper_half[i] == code_point) return static_cast<int>(0x80 + i);
  }
  return -1;
}

std::size_t code_page_850_name_to_utf8(std::string_view name, std::span<char> out) noexcept {
  if (out.size() < utf8_name_capacity(name.size())) {
    if (!out.empty()) out[0] = '\0';
    return 0;
  }
  std::size_t length = 0;
  if (is_valid_utf8(name)) {
    length = name.copy(out.data(), name.size());
  } else {
    for (const char byte : name) {
      length += encode_utf8(code_page_850_to_unicode(static_cast<unsigned char>(byte)), &out[length]);
    }
  }
  out[length] = '\0';
  return length;
}

}  // namespace lumetra
