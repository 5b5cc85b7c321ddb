// A line for standard error, with arguments quoted for the shell.
#include "converter/error_line.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "console_host/code_page_850.h"
#include "system/process.h"

namespace lumetra {
namespace {

// The bytes of the printable character at the start of text, 0 when it
// starts with anything else.
std::size_t printable_length(std::string_view text) noexcept {
  const auto lead = static_cast<unsigned char>(text.front());
  if (lead < 0x20 || lead == 0x7F) return 0;
  if (lead < 0x80) return 1;
  const std::size_t length = utf8_sequence_length(lead);
  if (length == 0 || length > text.size()) return 0;
  return decode_utf8(text.substr(0, length)) >= 0xA0 ? length : 0;  // U+0080 to U+009F are controls
}

// The C escape of a byte that is not printable: \a for 0x07 up to \r for
// 0x0D, else three octal digits.
std::array<char, 4> escape_of(unsigned char byte) noexcept {
  constexpr std::string_view named = "abtnvfr";
  if (byte >= 0x07 && byte <= 0x0D) return {'\\', named[byte - 0x07], '\0', '\0'};
  return {'\\', static_cast<char>('0' + (byte >> 6)), static_cast<char>('0' + ((byte >> 3) & 7)),
          static_cast<char>('0' + (byte & 7))};
}

}  // namespace

void ErrorLine::add(std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    if (used_ == sizeof buffer_) flush();
    const std::size_t taken = std::min(bytes.size(), sizeof buffer_ - used_);
    bytes.copy(buffer_ + used_, taken);
    used_ += taken;
    bytes.remove_prefix(taken);
  }
}

// Closes the quotes of the part before and opens those of the next.
void ErrorLine::enter(Part part) noexcept {
  if (part == part_) return;
  if (part_ != Part::Bare) add("'");
  if (part == Part::Quoted) add("'");
  if (part == Part::Escaped) add("$'");
  part_ = part;
}

void ErrorLine::add_quoted(std::string_view argument) noexcept {
  if (argument.empty()) add("''");
  while (!argument.empty()) {
    const std::size_t printable = printable_length(argument);
    std::size_t taken = 1;
    if (argument.front() == '\'') {
      enter(Part::Bare);
      add("\\'");
    } else if (printable > 0) {
      enter(Part::Quoted);
      taken = printable;
      add(argument.substr(0, taken));
    } else {
      enter(Part::Escaped);
      const std::array<char, 4> escape = escape_of(static_cast<unsigned char>(argument.front()));
      add({escape.data(), escape[2] == '\0' ? 2u : 4u});
    }
    argument.remove_prefix(taken);
  }
  enter(Part::Bare);
}

void ErrorLine::flush() noexcept {
  if (used_ != 0) write_standard_error({buffer_, used_});
  used_ = 0;
}

}  // namespace lumetra
