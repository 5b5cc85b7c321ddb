// A line for standard error, gathered in fixed storage and written in few
// writes, with the arguments it names quoted as a shell reads them back.
#pragma once

#include <cstddef>
#include <string_view>

namespace lumetra {

class ErrorLine {
 public:
  ErrorLine() noexcept = default;
  ErrorLine(const ErrorLine&) = delete;
  ErrorLine& operator=(const ErrorLine&) = delete;
  ~ErrorLine() { flush(); }

  // Adds the bytes as they are.
  void add(std::string_view bytes) noexcept;
  // Adds an argument in single quotes, so that the terminal shows it and
  // acts on none of its bytes: a run of bytes that are not printable (control
  // characters, bytes that are no UTF-8, UTF-8 control characters) stands
  // outside the quotes as $'...' with C escapes (\a \b \t \n \v \f \r, \ooo
  // in octal for the others), and a single quote as \'. "-\e]0;T\a" gives
  // '-'$'\033'']0;T'$'\a'; the empty argument gives ''.
  void add_quoted(std::string_view argument) noexcept;
  // Writes what was gathered to standard error.
  void flush() noexcept;

 private:
  enum class Part { Bare, Quoted, Escaped };
  void enter(Part part) noexcept;

  char buffer_[512] = {};
  std::size_t used_ = 0;
  Part part_ = Part::Bare;
};

}  // namespace lumetra
