// Code page 850 both ways, checked against the C library's converter, and
// typed file names turned into UTF-8.
#include "console_host/code_page_850.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

namespace lumetra {
namespace {

std::string converted_name(std::string_view name) {
  std::vector<char> out(utf8_name_capacity(name.size()));
  const std::size_t length = code_page_850_name_to_utf8(name, out);
  EXPECT_EQ(out[length], '\0');
  return std::string(out.data(), length);
}

TEST(CodePage850, MatchesTheCLibraryTableBothWays) {
  iconv_t to_utf32 = iconv_open("UTF-32LE", "CP850");
  // A cross build's C library may come without its converter modules.
  if (to_utf32 == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "the C library has no CP850 converter";
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    SCOPED_TRACE(byte);
    char in = static_cast<char>(byte);
    unsigned char out[4] = {};
    char* in_pointer = &in;
    char* out_pointer = reinterpret_cast<char*>(out);
    std::size_t in_left = 1;
    std::size_t out_left = sizeof out;
    ASSERT_NE(iconv(to_utf32, &in_pointer, &in_left, &out_pointer, &out_left), static_cast<std::size_t>(-1));
    const char32_t expected = out[0] | out[1] << 8 | out[2] << 16;
    EXPECT_EQ(code_page_850_to_unicode(static_cast<unsigned char>(byte)), expected);
    EXPECT_EQ(code_page_850_from_unicode(expected), byte);
  }
  iconv_close(to_utf32);
  EXPECT_EQ(code_page_850_from_unicode(U'A'), 'A');
  EXPECT_EQ(code_page_850_from_unicode(U'\u20AC'), -1);  // euro sign: not in the code page
}

TEST(CodePage850, DecodesUtf8AndRejectsInvalidForms) {
  EXPECT_EQ(utf8_sequence_length(0x41), 1u);
  EXPECT_EQ(utf8_sequence_length(0xC3), 2u);
  EXPECT_EQ(utf8_sequence_length(0xE2), 3u);
  EXPECT_EQ(utf8_sequence_length(0xF0), 4u);
  EXPECT_EQ(utf8_sequence_length(0x80), 0u);  // continuation byte
  EXPECT_EQ(utf8_sequence_length(0xC0), 0u);  // only overlong forms start with it
  EXPECT_EQ(decode_utf8("\xC3\xA4"), 0xE4);
  EXPECT_EQ(decode_utf8("\xE2\x82\xAC"), 0x20AC);
  EXPECT_EQ(decode_utf8("\xF0\x9F\x98\x80"), 0x1F600);
  EXPECT_EQ(decode_utf8("\xC3\x41"), -1);          // bad continuation
  EXPECT_EQ(decode_utf8("\xE0\x80\xAF"), -1);      // overlong
  EXPECT_EQ(decode_utf8("\xED\xA0\x80"), -1);      // surrogate
  EXPECT_EQ(decode_utf8("\xF4\x90\x80\x80"), -1);  // beyond U+10FFFF
}

TEST(CodePage850, TypedNameBecomesUtf8) {
  EXPECT_EQ(converted_name("M\x84rz.csv"), "M\xC3\xA4rz.csv");  // März.csv typed
  EXPECT_EQ(converted_name("\x8E\x99\x9A\xE1\xC9"), "\xC3\x84\xC3\x96\xC3\x9C\xC3\x9F\xE2\x95\x94");
  EXPECT_EQ(converted_name("M\xC3\xA4rz.csv"), "M\xC3\xA4rz.csv");  // valid UTF-8 stays
  EXPECT_EQ(converted_name("C:\\daten\\pv.csv"), "C:\\daten\\pv.csv");
  EXPECT_EQ(converted_name(""), "");
}

TEST(CodePage850, NameConversionNeedsRoomForTheWorstCase) {
  char out[8] = {'x'};
  EXPECT_EQ(code_page_850_name_to_utf8("\x84\x84\x84", out), 0u);  // needs 10 bytes
  EXPECT_EQ(out[0], '\0');
  EXPECT_EQ(code_page_850_name_to_utf8("ab", std::span(out, 7)), 2u);
  EXPECT_EQ(std::string(out), "ab");
}

}  // namespace
}  // namespace lumetra
