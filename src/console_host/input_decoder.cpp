// Terminal input decoder. Recognised input:
//   printable bytes and UTF-8      the character (code page 850, ? if none);
//   (or an 8-bit character set)    bytes above 0x7F by the set's table
//   00, 01-1A, 1C-1F               Ctrl+Space, Ctrl+letter, Ctrl+\ ] ^ _
//   08 7F / 09 / 0D / 0A           Backspace / Tab / Enter / Ctrl+Enter
//   ESC alone (after the timeout)  Escape
//   ESC key                        Alt+key
//   CSI [m] A-D H F, SS3 A-D H F   cursor keys, Home, End
//   CSI n [;m] ~                   Home Insert Delete End PgUp PgDn, F1-F12
//   CSI [1;m] P-S, SS3 P-S         F1-F4
//   CSI [ A-E                      F1-F5 (Linux console)
//   CSI Z                          Shift+Tab
//   CSI row;col R                  cursor report while a query is pending
// Any other CSI sequence is dropped whole.
#include "console_host/input_decoder.h"

#include <array>
#include <string_view>

#include "console_host/code_page_850.h"
#include "console_host/key_layout.h"

namespace lumetra {
namespace {

constexpr unsigned char escape_byte = 0x1B;

struct Key {
  WORD vk = 0;
  WORD scan = 0;
  unsigned char character = 0;
  DWORD state = 0;
};

enum class Outcome { Key, Report, Drop, Incomplete };

// The result of decoding the input's first unit.
struct Decoded {
  Outcome outcome = Outcome::Drop;
  std::size_t length = 0;  // bytes used
  Key key;
  CursorReport report;
};

struct NamedKey {
  unsigned char name;  // final byte, or number before ~
  WORD vk;
  WORD scan;
  bool enhanced;
};

// Keys named by the final byte of CSI 1;m X and SS3 X.
constexpr std::array<NamedKey, 10> final_byte_keys{{
    {'A', 0x26, 0x48, true},   // Up
    {'B', 0x28, 0x50, true},   // Down
    {'C', 0x27, 0x4D, true},   // Right
    {'D', 0x25, 0x4B, true},   // Left
    {'H', 0x24, 0x47, true},   // Home
    {'F', 0x23, 0x4F, true},   // End
    {'P', 0x70, 0x3B, false},  // F1
    {'Q', 0x71, 0x3C, false},  // F2
    {'R', 0x72, 0x3D, false},  // F3
    {'S', 0x73, 0x3E, false},  // F4
}};

// Keys named by the number of CSI n;m ~.
constexpr std::array<NamedKey, 20> tilde_keys{{
    {1, 0x24, 0x47, true},    // Home (tmux, Linux console)
    {2, 0x2D, 0x52, true},    // Insert
    {3, 0x2E, 0x53, true},    // Delete
    {4, 0x23, 0x4F, true},    // End (tmux, Linux console)
    {5, 0x21, 0x49, true},    // Page Up
    {6, 0x22, 0x51, true},    // Page Down
    {7, 0x24, 0x47, true},    // Home (rxvt)
    {8, 0x23, 0x4F, true},    // End (rxvt)
    {11, 0x70, 0x3B, false},  // F1
    {12, 0x71, 0x3C, false},  // F2
    {13, 0x72, 0x3D, false},  // F3
    {14, 0x73, 0x3E, false},  // F4
    {15, 0x74, 0x3F, false},  // F5
    {17, 0x75, 0x40, false},  // F6
    {18, 0x76, 0x41, false},  // F7
    {19, 0x77, 0x42, false},  // F8
    {20, 0x78, 0x43, false},  // F9
    {21, 0x79, 0x44, false},  // F10
    {23, 0x7A, 0x57, false},  // F11
    {24, 0x7B, 0x58, false},  // F12
}};

// Linux console F1-F5: CSI [ A to CSI [ E.
constexpr std::array<NamedKey, 5> linux_function_keys{{
    {'A', 0x70, 0x3B, false},
    {'B', 0x71, 0x3C, false},
    {'C', 0x72, 0x3D, false},
    {'D', 0x73, 0x3E, false},
    {'E', 0x74, 0x3F, false},
}};

template <std::size_t N>
const NamedKey* find_named(const std::array<NamedKey, N>& table, int name) noexcept {
  for (const NamedKey& key : table) {
    if (key.name == name) return &key;
  }
  return nullptr;
}

Decoded key_result(const Key& key, std::size_t length) noexcept { return {Outcome::Key, length, key, {}}; }
Decoded drop_result(std::size_t length) noexcept { return {Outcome::Drop, length, {}, {}}; }
Decoded incomplete_result() noexcept { return {Outcome::Incomplete, 0, {}, {}}; }

// The key of a code page 850 character by the layout (no key code for
// characters that no key of the layout types).
Key character_key(unsigned char character) noexcept {
  const auto position = key_position(character);
  if (!position) return {0, 0, character, 0};
  return {position->vk, position->scan, character, position->shift ? SHIFT_PRESSED : 0};
}

// The modifier parameter m of CSI sequences: m - 1 holds Shift 1, Alt 2,
// Ctrl 4 (Meta 8 is ignored).
DWORD modifier_state(int parameter) noexcept {
  const int bits = parameter > 1 ? parameter - 1 : 0;
  DWORD state = 0;
  if (bits & 1) state |= SHIFT_PRESSED;
  if (bits & 2) state |= LEFT_ALT_PRESSED;
  if (bits & 4) state |= LEFT_CTRL_PRESSED;
  return state;
}

Key named_key(const NamedKey& named, int modifier) noexcept {
  return {named.vk, named.scan, 0, modifier_state(modifier) | (named.enhanced ? ENHANCED_KEY : 0)};
}

Key control_key(unsigned char byte) noexcept {
  switch (byte) {
    case 0x08:
    case 0x7F: return character_key(0x08);                    // Backspace
    case 0x09: return character_key(0x09);                    // Tab
    case 0x0D: return character_key(0x0D);                    // Enter
    case 0x0A: return {0x0D, 0x1C, 0x0A, LEFT_CTRL_PRESSED};  // Ctrl+Enter
    case 0x00: return {0x20, 0x39, 0x00, LEFT_CTRL_PRESSED};  // Ctrl+Space
    default: break;
  }
  // Ctrl+letter (01-1A) is the letter's key; Ctrl+\ ] ^ _ (1C-1F) the key
  // of that character, with Shift where it needs one.
  Key key = character_key(byte <= 0x1A ? byte | 0x60 : byte | 0x40);
  if (byte <= 0x1A) key.state = 0;
  key.character = byte;
  key.state |= LEFT_CTRL_PRESSED;
  return key;
}

// A UTF-8 character, or ? for bytes that are not one.
Decoded decode_utf8_key(std::string_view bytes, bool forced) noexcept {
  const std::size_t length = utf8_sequence_length(static_cast<unsigned char>(bytes[0]));
  if (length == 0) return key_result(character_key('?'), 1);
  if (bytes.size() < length) {
    for (std::size_t i = 1; i < bytes.size(); ++i) {
      if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80) return key_result(character_key('?'), 1);
    }
    return forced ? key_result(character_key('?'), bytes.size()) : incomplete_result();
  }
  const std::int32_t code_point = decode_utf8(bytes.substr(0, length));
  if (code_point < 0) return key_result(character_key('?'), 1);
  const int character = code_page_850_from_unicode(static_cast<char32_t>(code_point));
  return key_result(character_key(character < 0 ? '?' : static_cast<unsigned char>(character)), length);
}

// One key that does not start with ESC; upper_half reads the bytes above
// 0x7F of an 8-bit character set, else they are UTF-8.
Decoded decode_plain(std::string_view bytes, bool forced, const UpperHalf* upper_half) noexcept {
  const auto byte = static_cast<unsigned char>(bytes[0]);
  if (byte < 0x20 || byte == 0x7F) return key_result(control_key(byte), 1);
  if (byte < 0x80) return key_result(character_key(byte), 1);
  if (upper_half != nullptr) return key_result(character_key((*upper_half)[byte - 0x80]), 1);
  return decode_utf8_key(bytes, forced);
}

// Up to two numeric parameters separated by ';'; false for anything else.
bool parse_parameters(std::string_view text, std::array<int, 2>& numbers, int& count) noexcept {
  numbers = {0, 0};
  count = text.empty() ? 0 : 1;
  for (const char c : text) {
    if (c == ';') {
      if (count == 2) return false;
      ++count;
    } else if (c >= '0' && c <= '9') {
      int& number = numbers[count - 1];
      if (number < 10000) number = number * 10 + (c - '0');
    } else {
      return false;
    }
  }
  return true;
}

Decoded decode_csi_final(std::string_view parameters, unsigned char final_byte, std::size_t length,
                         bool expecting_report) noexcept {
  std::array<int, 2> numbers{};
  int count = 0;
  if (!parse_parameters(parameters, numbers, count)) return drop_result(length);
  if (final_byte == 'R' && expecting_report && count == 2) {
    return {Outcome::Report, length, {}, {numbers[0], numbers[1]}};
  }
  if (final_byte == 'Z' && count == 0) return key_result({0x09, 0x0F, 0x09, SHIFT_PRESSED}, length);
  if (final_byte == '~') {
    const NamedKey* named = find_named(tilde_keys, numbers[0]);
    return named != nullptr ? key_result(named_key(*named, numbers[1]), length) : drop_result(length);
  }
  const NamedKey* named = find_named(final_byte_keys, final_byte);
  if (named == nullptr || (count > 0 && numbers[0] != 1)) return drop_result(length);
  return key_result(named_key(*named, numbers[1]), length);
}

// CSI: bytes holds the whole input from ESC on.
Decoded decode_csi(std::string_view bytes, bool expecting_report) noexcept {
  if (bytes.size() > 2 && bytes[2] == '[') {  // Linux console function keys
    if (bytes.size() < 4) return incomplete_result();
    const NamedKey* named = find_named(linux_function_keys, bytes[3]);
    return named != nullptr ? key_result(named_key(*named, 1), 4) : drop_result(4);
  }
  std::size_t i = 2;
  while (i < bytes.size() && bytes[i] >= 0x30 && bytes[i] <= 0x3F) ++i;  // parameters
  const std::size_t parameters_end = i;
  while (i < bytes.size() && bytes[i] >= 0x20 && bytes[i] <= 0x2F) ++i;  // intermediates
  if (i == bytes.size()) return incomplete_result();
  const auto final_byte = static_cast<unsigned char>(bytes[i]);
  if (final_byte < 0x40 || final_byte > 0x7E) return drop_result(i);  // broken off
  if (parameters_end != i) return drop_result(i + 1);                 // intermediates: none known
  return decode_csi_final(bytes.substr(2, parameters_end - 2), final_byte, i + 1, expecting_report);
}

Decoded decode_ss3(std::string_view bytes) noexcept {
  if (bytes.size() < 3) return incomplete_result();
  const NamedKey* named = find_named(final_byte_keys, bytes[2]);
  return named != nullptr ? key_result(named_key(*named, 1), 3) : drop_result(3);
}

Decoded decode_input(std::string_view bytes, bool expecting_report, bool forced, const UpperHalf* upper_half) noexcept;

// ESC and what follows it. forced: no further byte will come in time, so an
// incomplete sequence ends here.
Decoded decode_escape(std::string_view bytes, bool expecting_report, bool forced,
                      const UpperHalf* upper_half) noexcept {
  if (bytes.size() == 1) return forced ? key_result(character_key(escape_byte), 1) : incomplete_result();
  Decoded decoded;
  if (bytes[1] == '[' || bytes[1] == 'O') {
    decoded = bytes[1] == '[' ? decode_csi(bytes, expecting_report) : decode_ss3(bytes);
    if (decoded.outcome != Outcome::Incomplete || !forced) return decoded;
    if (bytes.size() > 2) return drop_result(bytes.size());       // a sequence cut short
    decoded = decode_plain(bytes.substr(1), forced, upper_half);  // Alt+[ or Alt+O
  } else {
    decoded = decode_input(bytes.substr(1), expecting_report, forced, upper_half);
  }
  if (decoded.outcome == Outcome::Incomplete) return decoded;
  decoded.length += 1;
  if (decoded.outcome == Outcome::Key) decoded.key.state |= LEFT_ALT_PRESSED;
  return decoded;
}

Decoded decode_input(std::string_view bytes, bool expecting_report, bool forced, const UpperHalf* upper_half) noexcept {
  if (static_cast<unsigned char>(bytes[0]) == escape_byte) {
    return decode_escape(bytes, expecting_report, forced, upper_half);
  }
  return decode_plain(bytes, forced, upper_half);
}

INPUT_RECORD key_record(const Key& key, bool down) noexcept {
  INPUT_RECORD record{};
  record.EventType = KEY_EVENT;
  KEY_EVENT_RECORD& event = record.Event.KeyEvent;
  event.bKeyDown = down ? TRUE : FALSE;
  event.wRepeatCount = 1;
  event.wVirtualKeyCode = key.vk;
  event.wVirtualScanCode = key.scan;
  event.uChar.AsciiChar = static_cast<CHAR>(key.character);
  event.dwControlKeyState = key.state;
  return record;
}

}  // namespace

void InputDecoder::feed(std::span<const unsigned char> bytes, std::uint64_t now_ms) {
  if (bytes.empty()) return;
  tick(now_ms);  // a sequence left waiting too long ends before these bytes
  pending_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  pending_since_ms_ = now_ms;
  decode_pending(false);
}

void InputDecoder::tick(std::uint64_t now_ms) {
  if (!pending_.empty() && now_ms - pending_since_ms_ >= escape_timeout_ms) decode_pending(true);
}

std::optional<std::uint64_t> InputDecoder::time_to_timeout(std::uint64_t now_ms) const {
  if (pending_.empty()) return std::nullopt;
  const std::uint64_t waited = now_ms - pending_since_ms_;
  return waited >= escape_timeout_ms ? 0 : escape_timeout_ms - waited;
}

std::optional<CursorReport> InputDecoder::take_cursor_report() {
  std::optional<CursorReport> report = report_;
  report_.reset();
  return report;
}

void InputDecoder::decode_pending(bool forced) {
  const std::string_view input = pending_;
  std::size_t position = 0;
  while (position < input.size()) {
    const Decoded decoded =
        decode_input(input.substr(position), expecting_report_, forced, upper_half_ ? &*upper_half_ : nullptr);
    if (decoded.outcome == Outcome::Incomplete) break;
    if (decoded.outcome == Outcome::Key) {
      records_.push_back(key_record(decoded.key, true));
      records_.push_back(key_record(decoded.key, false));
    } else if (decoded.outcome == Outcome::Report) {
      report_ = decoded.report;
      expecting_report_ = false;  // one query, one answer
    }
    position += decoded.length;
  }
  pending_.erase(0, position);
}

}  // namespace lumetra
