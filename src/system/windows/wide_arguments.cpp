// The arguments of the wide entry point in UTF-8.
#include "system/wide_arguments.h"

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "system/process.h"
#include "system/windows/windows_headers.h"

namespace lumetra {

namespace {

constexpr int out_of_memory = 4;

// A lone surrogate, which UTF-8 cannot spell, becomes U+FFFD.
std::string utf8_of(const wchar_t* wide) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return {};
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, bytes.data(), length, nullptr, nullptr);
  bytes.resize(static_cast<std::size_t>(length - 1));
  return bytes;
}

}  // namespace

char** utf8_arguments(int argc, wchar_t** argv) noexcept {
  static std::vector<std::string> arguments;
  static std::vector<char*> vector;
  try {
    for (int n = 0; n < argc; ++n) arguments.push_back(utf8_of(argv[n]));
    for (std::string& argument : arguments) vector.push_back(argument.data());
    vector.push_back(nullptr);
  } catch (const std::bad_alloc&) {
    write_standard_error("lumetra: out of memory\n");
    std::exit(out_of_memory);  // the exit handlers give the console its code pages back
  }
  return vector.data();
}

}  // namespace lumetra
