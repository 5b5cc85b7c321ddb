// Character sets of the terminals the console shows on: the codeset of the
// user's locale, and characters written in a codeset.
#pragma once

#include <string>

namespace lumetra {

// The codeset of the user's locale (LC_CTYPE) as nl_langinfo(CODESET) names
// it ("UTF-8", "ISO-8859-1", ...); the program itself keeps the C locale.
// On Windows "UTF-8": there the real console shows code page 850 itself, and
// only the tests' renderers ask.
[[nodiscard]] std::string locale_codeset();

// Writes characters in a codeset.
class CodesetWriter {
 public:
  explicit CodesetWriter(const char* codeset) noexcept;
  ~CodesetWriter();
  CodesetWriter(const CodesetWriter&) = delete;
  CodesetWriter& operator=(const CodesetWriter&) = delete;

  // The bytes of a code point in the codeset; "?" when the codeset cannot
  // hold it, or when the codeset is not known and the code point is not ASCII.
  [[nodiscard]] std::string bytes_of(char32_t code_point) const;

 private:
  // The system's converter: an iconv descriptor, or on Windows the code page;
  // null when the codeset is not known.
  void* converter_;
};

}  // namespace lumetra
