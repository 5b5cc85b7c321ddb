// The place in the source that stopped the conversion.
#include "converter/source_note.h"

#include <algorithm>
#include <charconv>

#include "runtime/runtime_error.h"
#include "system/standard_streams.h"

namespace lumetra {
namespace {

constexpr std::string_view hex_digits = "0123456789ABCDEF";
constexpr std::size_t escape_length = 4;  // \xNN

bool printable(char byte) noexcept { return byte >= 0x20 && byte <= 0x7E; }

// Appends text to out[length, size), as much as fits.
std::size_t append(std::span<char> out, std::size_t length, std::string_view text) noexcept {
  const std::size_t taken = std::min(text.size(), out.size() - length);
  std::copy_n(text.data(), taken, out.data() + length);
  return length + taken;
}

}  // namespace

std::size_t visible_start(std::string_view line, std::span<char> out) noexcept {
  std::size_t length = 0;
  for (const char byte : line) {
    const std::size_t needed = printable(byte) ? 1 : escape_length;
    if (out.size() - length < needed) break;
    if (needed == 1) {
      out[length++] = byte;
      continue;
    }
    const auto value = static_cast<unsigned char>(byte);
    const char escape[escape_length] = {'\\', 'x', hex_digits[value >> 4], hex_digits[value & 0x0F]};
    length = append(out, length, {escape, escape_length});
  }
  return length;
}

void note_source_line(std::int64_t number, std::string_view line) noexcept {
  const int columns = standard_error_columns();
  if (columns <= 0) return;
  char note[abort_message_size];
  // One column is left free: a line that fills the last one wraps at once on
  // some consoles, and the line end would then add an empty line.
  const std::span<char> shown(note, std::min<std::size_t>(static_cast<std::size_t>(columns - 1), sizeof note - 2));
  char digits[24];
  const std::to_chars_result number_end = std::to_chars(digits, digits + sizeof digits, number);
  std::size_t length = append(shown, 0, "  Zeile ");
  length = append(shown, length, {digits, static_cast<std::size_t>(number_end.ptr - digits)});
  length = append(shown, length, " der Quelldatei: ");
  length += visible_start(line, shown.subspan(length));
  note[length++] = '\r';
  note[length++] = '\n';
  keep_abort_note({note, length});
}

}  // namespace lumetra
