// The Windows headers, for the implementation files of this folder only.
// The console interface comes first: it declares the names that windows.h
// then defines as macros (TRUE, STD_INPUT_HANDLE, ...), with the same values.
#pragma once

// clang-format off
#include "system/console_api.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define NOGDI
#include <windows.h>
// clang-format on

namespace lumetra {

// An open file as the stream keeps it, and back: Windows keeps handle values
// within 32 bits (sign-extended), so that they can be passed as such.
[[nodiscard]] inline int handle_value(::HANDLE handle) noexcept {
  return static_cast<int>(reinterpret_cast<std::intptr_t>(handle));
}
[[nodiscard]] inline ::HANDLE value_handle(int value) noexcept {
  return reinterpret_cast<::HANDLE>(static_cast<std::intptr_t>(value));
}

// The errno value nearest to a Windows error code.
[[nodiscard]] int errno_of_windows_error(DWORD error) noexcept;

}  // namespace lumetra
