// numeric_value over arbitrary bytes (no crash, no undefined behaviour), and
// over texts of blanks, digits, signs, dots and exponent letters against a
// plain model of the decimal form it reads.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "support/text_from_bytes.h"
#include "text/numeric_text.h"

namespace lumetra {
namespace {

constexpr std::string_view decimal_alphabet = " 0123456789+-.eEdD";

bool is_digit(char byte) { return byte >= '0' && byte <= '9'; }

// The value of the decimal number at the front of text (after blanks):
// an optional sign, digits with at most one dot and at least one digit, and
// an exponent (e, E, d or D, an optional sign, digits) only when it has
// digits. The number is rewritten in the plain form strtod reads.
double model_value(std::string_view text) {
  std::size_t i = text.find_first_not_of(' ');
  if (i == std::string_view::npos) return 0.0;
  std::string number;
  if (text[i] == '+' || text[i] == '-') number += text[i++];
  std::size_t digits = 0;
  for (; i < text.size() && is_digit(text[i]); ++i, ++digits) number += text[i];
  if (i < text.size() && text[i] == '.') {
    number += text[i++];
    for (; i < text.size() && is_digit(text[i]); ++i, ++digits) number += text[i];
  }
  if (digits == 0) return 0.0;
  if (i < text.size() && std::string_view("eEdD").find(text[i]) != std::string_view::npos) {
    std::string exponent = "e";
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent += text[j++];
    if (j < text.size() && is_digit(text[j])) {
      for (; j < text.size() && is_digit(text[j]); ++j) exponent += text[j];
      number += exponent;
    }
  }
  return std::strtod(number.c_str(), nullptr);
}

}  // namespace
}  // namespace lumetra

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumetra;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  (void)numeric_value(text_of(bytes));

  std::string decimal(bytes);
  for (char& byte : decimal) byte = decimal_alphabet[static_cast<unsigned char>(byte) % decimal_alphabet.size()];
  const double value = numeric_value(text_of(decimal));
  const double expected = model_value(decimal);
  fuzz_check(value == expected, "the value equals the model's");
  fuzz_check(std::signbit(value) == std::signbit(expected), "the sign of zero equals the model's");
  return 0;
}
