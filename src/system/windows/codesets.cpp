// Codesets on Windows, which has no iconv: UTF-8 alone, through the system's
// conversion.
#include "system/codesets.h"

#include <cstdint>
#include <string_view>

#include "system/windows/windows_headers.h"

namespace lumetra {

std::string locale_codeset() { return "UTF-8"; }

CodesetWriter::CodesetWriter(const char* codeset) noexcept
    : converter_(std::string_view(codeset) == "UTF-8" ? reinterpret_cast<void*>(std::uintptr_t{CP_UTF8}) : nullptr) {}

CodesetWriter::~CodesetWriter() = default;

std::string CodesetWriter::bytes_of(char32_t code_point) const {
  if (code_point < 0x80) return std::string(1, static_cast<char>(code_point));
  const wchar_t wide = static_cast<wchar_t>(code_point);
  char out[8];
  const int length =
      converter_ != nullptr ? WideCharToMultiByte(CP_UTF8, 0, &wide, 1, out, sizeof out, nullptr, nullptr) : 0;
  return length > 0 ? std::string(out, static_cast<std::size_t>(length)) : "?";
}

}  // namespace lumetra
