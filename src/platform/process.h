// Process services: exit handlers, the exit itself, and writing to the
// standard error stream.
#pragma once

#include <cstdint>
#include <string_view>

namespace lumetra {

// Registers a handler that the exit runs, in reverse order of registration.
void register_exit_handler(void (*handler)()) noexcept;
// Runs the exit handlers, flushes the C library's streams and ends the
// process with the code.
[[noreturn]] void exit_process(std::int32_t code) noexcept;
// Writes the bytes unchanged to standard error (descriptor 2); safe in a
// signal handler.
void write_standard_error(std::string_view bytes) noexcept;

}  // namespace lumetra
