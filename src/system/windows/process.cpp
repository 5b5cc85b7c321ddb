// Process services over Win32: the standard handles and the end at once.
#include "system/process.h"

#include "system/windows/windows_headers.h"

namespace lumetra {

namespace {

bool write_everything(::DWORD handle, std::string_view bytes) noexcept {
  const ::HANDLE stream = ::GetStdHandle(handle);
  while (!bytes.empty()) {
    ::DWORD written = 0;
    if (::WriteFile(stream, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) == 0 || written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace

// Nothing more can be done about a failing standard error.
void write_standard_error(std::string_view bytes) noexcept { (void)write_everything(STD_ERROR_HANDLE, bytes); }

bool write_standard_output(std::string_view bytes) noexcept { return write_everything(STD_OUTPUT_HANDLE, bytes); }

// Handles are inherited as they are; none is reused for the program's files.
void open_closed_standard_descriptors() noexcept {}

// TerminateProcess, not ExitProcess: no library is told, so nothing can wait
// for a lock that the interrupted thread holds.
void exit_immediately(std::int32_t code) noexcept {
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
  for (;;) ::Sleep(INFINITE);
}

}  // namespace lumetra
