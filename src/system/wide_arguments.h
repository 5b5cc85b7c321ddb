// The program's arguments on Windows. Windows fills the narrow argument
// vector in the ANSI code page (1252 on German systems), which the name
// rules would read as code page 850; the wide entry point gets them as
// typed, and they go on as UTF-8, the form every other name takes.
#pragma once

namespace lumetra {

// The arguments in UTF-8, kept for the life of the process. When memory runs
// out, a line on standard error and exit status 4 (runtime error 4's number)
// end the process.
[[nodiscard]] char** utf8_arguments(int argc, wchar_t** argv) noexcept;

}  // namespace lumetra
