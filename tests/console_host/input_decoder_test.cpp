// Terminal bytes in, key-event records out; and on through the key
// translation to key codes.
#include "console_host/input_decoder.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <string_view>
#include <vector>

#include "console/key_translation.h"
#include "console_host/terminal_charset.h"
#include "support/key_states.h"

namespace lumetra {
namespace {

using namespace key_states;

struct KeyEvent {
  WORD vk;
  WORD scan;
  unsigned char character;
  DWORD state;
  bool operator==(const KeyEvent&) const = default;
};

std::ostream& operator<<(std::ostream& out, const KeyEvent& key) {
  return out << std::hex << "{vk " << key.vk << ", scan " << key.scan << ", char " << int{key.character} << ", state "
             << key.state << "}";
}

void feed(InputDecoder& decoder, std::string_view bytes, std::uint64_t now_ms = 0) {
  decoder.feed({reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()}, now_ms);
}

// The keys decoded so far, taken out of the decoder; each key down must be
// followed by its key up with the same contents.
std::vector<KeyEvent> take_keys(InputDecoder& decoder) {
  std::vector<KeyEvent> keys;
  auto& records = decoder.records();
  EXPECT_EQ(records.size() % 2, 0u);
  for (std::size_t i = 0; i + 1 < records.size(); i += 2) {
    const KEY_EVENT_RECORD& down = records[i].Event.KeyEvent;
    const KEY_EVENT_RECORD& up = records[i + 1].Event.KeyEvent;
    EXPECT_EQ(records[i].EventType, KEY_EVENT);
    EXPECT_TRUE(down.bKeyDown);
    EXPECT_FALSE(up.bKeyDown);
    EXPECT_EQ(down.wRepeatCount, 1);
    const KeyEvent key{down.wVirtualKeyCode, down.wVirtualScanCode, static_cast<unsigned char>(down.uChar.AsciiChar),
                       down.dwControlKeyState};
    EXPECT_EQ(key, (KeyEvent{up.wVirtualKeyCode, up.wVirtualScanCode, static_cast<unsigned char>(up.uChar.AsciiChar),
                             up.dwControlKeyState}));
    keys.push_back(key);
  }
  records.clear();
  return keys;
}

struct KeyCase {
  std::string_view bytes;
  KeyEvent key;
};

constexpr KeyCase key_cases[] = {
    // printable bytes, US positions
    {"a", {0x41, 0x1E, 'a', 0}},
    {"A", {0x41, 0x1E, 'A', shift}},
    {"1", {0x31, 0x02, '1', 0}},
    {" ", {0x20, 0x39, ' ', 0}},
    {"y", {0x59, 0x15, 'y', 0}},
    {"z", {0x5A, 0x2C, 'z', 0}},
    {"?", {0xBF, 0x35, '?', shift}},
    {"~", {0xC0, 0x29, '~', shift}},
    // umlauts and sharp s on the German keys, as code page 850
    {"\xC3\xA4", {0xDE, 0x28, 0x84, 0}},
    {"\xC3\xB6", {0xC0, 0x27, 0x94, 0}},
    {"\xC3\xBC", {0xBA, 0x1A, 0x81, 0}},
    {"\xC3\x9F", {0xDB, 0x0C, 0xE1, 0}},
    {"\xC3\x84", {0xDE, 0x28, 0x8E, shift}},
    {"\xC3\x96", {0xC0, 0x27, 0x99, shift}},
    {"\xC3\x9C", {0xBA, 0x1A, 0x9A, shift}},
    // other characters of code page 850 have no key; others become ?
    {"\xC3\xA9", {0, 0, 0x82, 0}},
    {"\xE2\x95\x94", {0, 0, 0xC9, 0}},
    {"\xE2\x82\xAC", {0xBF, 0x35, '?', shift}},
    {"\xF0\x9F\x98\x80", {0xBF, 0x35, '?', shift}},
    {"\xFF", {0xBF, 0x35, '?', shift}},
    // control keys
    {"\r", {0x0D, 0x1C, 0x0D, 0}},
    {"\n", {0x0D, 0x1C, 0x0A, ctrl}},
    {"\x7F", {0x08, 0x0E, 0x08, 0}},
    {"\x08", {0x08, 0x0E, 0x08, 0}},
    {"\t", {0x09, 0x0F, 0x09, 0}},
    {"\x1b[Z", {0x09, 0x0F, 0x09, shift}},
    {"\x01", {0x41, 0x1E, 0x01, ctrl}},
    {"\x1A", {0x5A, 0x2C, 0x1A, ctrl}},
    {std::string_view("\0", 1), {0x20, 0x39, 0x00, ctrl}},
    {"\x1C", {0xDC, 0x2B, 0x1C, ctrl}},
    {"\x1D", {0xDD, 0x1B, 0x1D, ctrl}},
    {"\x1E", {0x36, 0x07, 0x1E, ctrl | shift}},
    {"\x1F", {0xBD, 0x0C, 0x1F, ctrl | shift}},
    // cursor keys, CSI and SS3
    {"\x1b[A", {0x26, 0x48, 0, enh}},
    {"\x1b[B", {0x28, 0x50, 0, enh}},
    {"\x1b[C", {0x27, 0x4D, 0, enh}},
    {"\x1b[D", {0x25, 0x4B, 0, enh}},
    {"\x1bOA", {0x26, 0x48, 0, enh}},
    {"\x1bOD", {0x25, 0x4B, 0, enh}},
    // Home and End in every form
    {"\x1b[H", {0x24, 0x47, 0, enh}},
    {"\x1bOH", {0x24, 0x47, 0, enh}},
    {"\x1b[1~", {0x24, 0x47, 0, enh}},
    {"\x1b[7~", {0x24, 0x47, 0, enh}},
    {"\x1b[F", {0x23, 0x4F, 0, enh}},
    {"\x1bOF", {0x23, 0x4F, 0, enh}},
    {"\x1b[4~", {0x23, 0x4F, 0, enh}},
    {"\x1b[8~", {0x23, 0x4F, 0, enh}},
    // Insert, Delete, Page Up, Page Down
    {"\x1b[2~", {0x2D, 0x52, 0, enh}},
    {"\x1b[3~", {0x2E, 0x53, 0, enh}},
    {"\x1b[5~", {0x21, 0x49, 0, enh}},
    {"\x1b[6~", {0x22, 0x51, 0, enh}},
    // function keys in every form
    {"\x1bOP", {0x70, 0x3B, 0, 0}},
    {"\x1bOS", {0x73, 0x3E, 0, 0}},
    {"\x1b[11~", {0x70, 0x3B, 0, 0}},
    {"\x1b[14~", {0x73, 0x3E, 0, 0}},
    {"\x1b[[A", {0x70, 0x3B, 0, 0}},
    {"\x1b[[D", {0x73, 0x3E, 0, 0}},
    {"\x1b[[E", {0x74, 0x3F, 0, 0}},
    {"\x1b[15~", {0x74, 0x3F, 0, 0}},
    {"\x1b[17~", {0x75, 0x40, 0, 0}},
    {"\x1b[21~", {0x79, 0x44, 0, 0}},
    {"\x1b[23~", {0x7A, 0x57, 0, 0}},
    {"\x1b[24~", {0x7B, 0x58, 0, 0}},
    // modifiers: m - 1 holds Shift 1, Alt 2, Ctrl 4; Meta 8 is ignored
    {"\x1b[1;2A", {0x26, 0x48, 0, enh | shift}},
    {"\x1b[1;3D", {0x25, 0x4B, 0, enh | alt}},
    {"\x1b[1;5H", {0x24, 0x47, 0, enh | ctrl}},
    {"\x1b[1;8F", {0x23, 0x4F, 0, enh | shift | alt | ctrl}},
    {"\x1b[1;9C", {0x27, 0x4D, 0, enh}},
    {"\x1b[3;5~", {0x2E, 0x53, 0, enh | ctrl}},
    {"\x1b[24;2~", {0x7B, 0x58, 0, shift}},
    {"\x1b[1;3S", {0x73, 0x3E, 0, alt}},
    {"\x1b[1;5P", {0x70, 0x3B, 0, ctrl}},
    {"\x1b[1;2R", {0x72, 0x3D, 0, shift}},  // no query pending: Shift+F3
    // Alt as an ESC prefix
    {"\x1b"
     "a",
     {0x41, 0x1E, 'a', alt}},
    {"\x1b\x7F", {0x08, 0x0E, 0x08, alt}},
    {"\x1b\x01", {0x41, 0x1E, 0x01, alt | ctrl}},
    {"\x1b\xC3\xA4", {0xDE, 0x28, 0x84, alt}},
    {"\x1b\x1b[A", {0x26, 0x48, 0, enh | alt}},
};

TEST(InputDecoder, DecodesEveryKeyOfTheTable) {
  for (const KeyCase& c : key_cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
    InputDecoder decoder;
    feed(decoder, c.bytes);
    EXPECT_EQ(take_keys(decoder), std::vector<KeyEvent>{c.key});
    EXPECT_FALSE(decoder.time_to_timeout(0).has_value());
  }
}

TEST(InputDecoder, DecodesSequencesSplitAtEveryByte) {
  for (const KeyCase& c : key_cases) {
    for (std::size_t cut = 1; cut < c.bytes.size(); ++cut) {
      SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)) + " cut at " + std::to_string(cut));
      InputDecoder decoder;
      feed(decoder, c.bytes.substr(0, cut), 0);
      EXPECT_TRUE(take_keys(decoder).empty());
      feed(decoder, c.bytes.substr(cut), 60);
      EXPECT_EQ(take_keys(decoder), std::vector<KeyEvent>{c.key});
    }
  }
}

TEST(InputDecoder, DecodesSeveralKeysOfOneRead) {
  InputDecoder decoder;
  feed(decoder, "ab\x1b[Dc\r");
  const std::vector<KeyEvent> expected{
      {0x41, 0x1E, 'a', 0}, {0x42, 0x30, 'b', 0}, {0x25, 0x4B, 0, enh}, {0x43, 0x2E, 'c', 0}, {0x0D, 0x1C, 0x0D, 0}};
  EXPECT_EQ(take_keys(decoder), expected);
}

TEST(InputDecoder, LoneEscapeBecomesEscapeKeyAfterTimeout) {
  InputDecoder decoder;
  feed(decoder, "\x1b", 1000);
  EXPECT_EQ(decoder.time_to_timeout(1000), 100u);
  EXPECT_EQ(decoder.time_to_timeout(1040), 60u);
  decoder.tick(1099);
  EXPECT_TRUE(take_keys(decoder).empty());
  decoder.tick(1100);
  EXPECT_EQ(take_keys(decoder), (std::vector<KeyEvent>{{0x1B, 0x01, 0x1B, 0}}));
  EXPECT_FALSE(decoder.time_to_timeout(1100).has_value());
}

TEST(InputDecoder, EscapeThenByteAfterTimeoutAreTwoKeys) {
  InputDecoder decoder;
  feed(decoder, "\x1b", 0);
  feed(decoder, "a", 150);
  EXPECT_EQ(take_keys(decoder), (std::vector<KeyEvent>{{0x1B, 0x01, 0x1B, 0}, {0x41, 0x1E, 'a', 0}}));
}

TEST(InputDecoder, IncompleteSequenceEndsAtTimeout) {
  struct Case {
    std::string_view bytes;
    std::vector<KeyEvent> keys;
  };
  const Case cases[] = {
      {"\x1b[", {{0xDB, 0x1A, '[', alt}}},          // Alt+[
      {"\x1bO", {{0x4F, 0x18, 'O', alt | shift}}},  // Alt+O
      {"\x1b\x1b", {{0x1B, 0x01, 0x1B, alt}}},      // Alt+Escape
      {"\x1b[1;", {}},                              // a sequence cut short is dropped
      {"\xC3", {{0xBF, 0x35, '?', shift}}},         // a character cut short
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
    InputDecoder decoder;
    feed(decoder, c.bytes, 0);
    EXPECT_TRUE(take_keys(decoder).empty());
    decoder.tick(100);
    EXPECT_EQ(take_keys(decoder), c.keys);
    EXPECT_FALSE(decoder.time_to_timeout(100).has_value());
  }
}

TEST(InputDecoder, DropsUnknownCsiWhole) {
  const std::string_view cases[] = {"\x1b[99X", "\x1b[?1;2c", "\x1b[200~",   "\x1b[9~", "\x1b[2A",
                                    "\x1b[1 q", "\x1b[I",     "\x1b[5;5;5~", "\x1bOx"};
  for (const std::string_view bytes : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(bytes)));
    InputDecoder decoder;
    feed(decoder, std::string(bytes) + "z");
    EXPECT_EQ(take_keys(decoder), (std::vector<KeyEvent>{{0x5A, 0x2C, 'z', 0}}));
  }
}

TEST(InputDecoder, CursorReportWhileQueryIsPending) {
  InputDecoder decoder;
  decoder.expect_cursor_report(true);
  feed(decoder, "a\x1b[12;", 0);
  feed(decoder, "40Rb", 10);
  EXPECT_EQ(take_keys(decoder), (std::vector<KeyEvent>{{0x41, 0x1E, 'a', 0}, {0x42, 0x30, 'b', 0}}));
  const auto report = decoder.take_cursor_report();
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->row, 12);
  EXPECT_EQ(report->column, 40);
  EXPECT_FALSE(decoder.take_cursor_report().has_value());
  // The query is answered; the same bytes now are a modified F3.
  feed(decoder, "\x1b[1;5R", 20);
  EXPECT_EQ(take_keys(decoder), (std::vector<KeyEvent>{{0x72, 0x3D, 0, ctrl}}));
  EXPECT_FALSE(decoder.take_cursor_report().has_value());
}

// A terminal of an 8-bit character set sends one byte per letter; the
// letters typed, in code page 850, give back the bytes it sent.
TEST(InputDecoder, ReadsTheLettersOfAnEightBitTerminal) {
  const iconv_t converter = iconv_open("ISO-8859-1", "WCHAR_T");
  if (converter == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "the C library has no Latin-1 converter";
  iconv_close(converter);
  const TerminalCharset latin_1("ISO-8859-1");
  ASSERT_TRUE(latin_1.typed_upper_half().has_value());
  InputDecoder decoder;
  decoder.read_eight_bit(*latin_1.typed_upper_half());
  feed(decoder, "M\xE4rz\xDF\xFC\x1b\xE9\x80");
  std::string typed;
  for (const KeyEvent& key : take_keys(decoder)) typed += static_cast<char>(key.character);
  EXPECT_EQ(typed, "M\x84rz\xE1\x81\x82?");  // ESC \xE9 is Alt+\x82; C1 controls are no letters
  EXPECT_EQ(latin_1.typed_bytes("M\x84rz\xE1\x81.csv"), "M\xE4rz\xDF\xFC.csv");
  EXPECT_EQ(latin_1.typed_bytes("\xB0.csv"), "");  // a box-drawing character Latin-1 lacks
  for (const char* codeset : {"UTF-8", "ANSI_X3.4-1968"}) {
    SCOPED_TRACE(codeset);  // read as UTF-8, whose names are the code page 850 reading already
    EXPECT_FALSE(TerminalCharset(codeset).typed_upper_half().has_value());
    EXPECT_EQ(TerminalCharset(codeset).typed_bytes("M\x84rz.csv"), "");
  }
}

KeyCode translated(std::string_view bytes) {
  InputDecoder decoder;
  feed(decoder, bytes);
  decoder.tick(escape_timeout_ms);
  const std::vector<KeyEvent> keys = take_keys(decoder);
  if (keys.size() != 1) return -2;
  return translate_key_event(keys[0].character, keys[0].scan, keys[0].vk, keys[0].state);
}

TEST(InputDecoder, KeysTranslateToKeyCodes) {
  struct Case {
    std::string_view bytes;
    KeyCode code;
  };
  const Case cases[] = {
      {"\x1b[H", 0x47FF},
      {"\x1bOP", 0x3BFF},
      {"\x1b[3~", 0x53FF},
      {"\x1b"
       "a",
       0x1EFF},
      {"\x01", 1},
      {"\x1b[1;3S", 0x6BFF},
      {"\x1b[A", 0x48FF},
      {"\x1b[1;5D", 0x73FF},
      {"\x1b[Z", 0x0FFF},
      {"\x1b\x7F", 0xE0FF},
      {"\x1b", 27},
      {"\r", 13},
      {"\n", 10},
      {"\x7F", 8},
      {"\t", 9},
      {"\xC3\xA4", 0x84},
      {"A", 'A'},
      {"\x1b[24~", 0x86FF},
      {std::string_view("\0", 1), no_key},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
    EXPECT_EQ(translated(c.bytes), c.code);
  }
}

}  // namespace
}  // namespace lumetra
