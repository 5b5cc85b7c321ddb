// Code page 850, the console's character set: its upper half in Unicode,
// the way back, UTF-8 decoding, and file names typed in code page 850 turned
// into UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace lumetra {

// The Unicode code point of a code page 850 byte (bytes below 0x80 are
// ASCII and map to themselves).
[[nodiscard]] char32_t code_page_850_to_unicode(unsigned char byte) noexcept;

// The code page 850 byte of a code point, or -1 when the code page has none.
[[nodiscard]] int code_page_850_from_unicode(char32_t code_point) noexcept;

// Length of the UTF-8 sequence that a byte starts: 1 for ASCII, 2 to 4 for a
// lead byte, 0 for a byte no sequence starts with.
[[nodiscard]] std::size_t utf8_sequence_length(unsigned char lead) noexcept;

// The code point of one whole UTF-8 sequence (its length as given by
// utf8_sequence_length), or -1 when it is not valid (a bad continuation
// byte, an overlong form, a surrogate, beyond U+10FFFF).
[[nodiscard]] std::int32_t decode_utf8(std::string_view sequence) noexcept;

// Room that code_page_850_name_to_utf8 needs for a name of n bytes,
// the terminating zero byte included.
constexpr std::size_t utf8_name_capacity(std::size_t n) noexcept { return 3 * n + 1; }

// Writes the UTF-8 form of a file name into out, followed by a zero byte,
// and returns its length. A name that is valid UTF-8 is copied unchanged;
// any other name is read as code page 850 (as the line editor delivers typed
// names) and converted. out must hold utf8_name_capacity(name.size()) bytes;
// with less, the result is the empty name.
std::size_t code_page_850_name_to_utf8(std::string_view name, std::span<char> out) noexcept;

}  // namespace lumetra
