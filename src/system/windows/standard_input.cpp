// The standard input stream, read as the bytes of its handle: no text-mode
// conversion, so that redirected names arrive exactly as on other systems.
#include "system/standard_input.h"

#include "system/windows/windows_headers.h"

namespace lumetra {

std::int32_t read_standard_input(char* destination, std::int32_t count) noexcept {
  const ::HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  std::int32_t done = 0;
  while (done < count) {
    ::DWORD got = 0;
    // A pipe whose writer is gone fails with ERROR_BROKEN_PIPE: the end.
    if (::ReadFile(input, destination + done, static_cast<DWORD>(count - done), &got, nullptr) == 0 || got == 0) break;
    done += static_cast<std::int32_t>(got);
  }
  return done;
}

}  // namespace lumetra
