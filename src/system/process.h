// Process services: exit handlers, the exit itself, and writing to the
// standard error stream.
#pragma once

#include <cstdint>
#include <string_view>

namespace lumetra {

// Opens /dev/null on standard input, output and error where they are closed,
// so that no file the program opens gets one of their numbers and receives
// what is meant for them.
void open_closed_standard_descriptors() noexcept;
// Registers a handler that the exit runs, in reverse order of registration.
void register_exit_handler(void (*handler)()) noexcept;
// Runs the exit handlers, flushes the C library's streams and ends the
// process with the code.
[[noreturn]] void exit_process(std::int32_t code) noexcept;
// Writes the bytes unchanged to standard error (descriptor 2); safe in a
// signal handler.
void write_standard_error(std::string_view bytes) noexcept;
// Writes the bytes unchanged to standard output; false when they could not
// all be written, also when standard output was closed at start.
[[nodiscard]] bool write_standard_output(std::string_view bytes) noexcept;
// Ends the process at once with the code, running no exit handlers.
[[noreturn]] void exit_immediately(std::int32_t code) noexcept;

}  // namespace lumetra
