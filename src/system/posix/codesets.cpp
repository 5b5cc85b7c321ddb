// Codesets through the C library's locale and iconv.
#include "system/codesets.h"

#include <iconv.h>
#include <langinfo.h>

#include <clocale>
#include <cwchar>

namespace lumetra {

namespace {

const iconv_t no_converter = reinterpret_cast<iconv_t>(-1);

}  // namespace

// The locale is the user's only for the moment of the question.
std::string locale_codeset() {
  const std::string previous = std::setlocale(LC_CTYPE, nullptr);
  std::setlocale(LC_CTYPE, "");
  std::string codeset = nl_langinfo(CODESET);
  std::setlocale(LC_CTYPE, previous.c_str());
  return codeset;
}

CodesetWriter::CodesetWriter(const char* codeset) noexcept : converter_(iconv_open(codeset, "WCHAR_T")) {
  if (converter_ == no_converter) converter_ = nullptr;
}

CodesetWriter::~CodesetWriter() {
  if (converter_ != nullptr) iconv_close(converter_);
}

std::string CodesetWriter::bytes_of(char32_t code_point) const {
  if (converter_ == nullptr) return code_point < 0x7F ? std::string(1, static_cast<char>(code_point)) : "?";
  wchar_t in[1] = {static_cast<wchar_t>(code_point)};
  char out[16];
  char* in_pointer = reinterpret_cast<char*>(in);
  char* out_pointer = out;
  std::size_t in_left = sizeof in;
  std::size_t out_left = sizeof out;
  iconv(converter_, nullptr, nullptr, nullptr, nullptr);
  if (iconv(converter_, &in_pointer, &in_left, &out_pointer, &out_left) == static_cast<std::size_t>(-1)) return "?";
  return std::string(out, out_pointer);
}

}  // namespace lumetra
