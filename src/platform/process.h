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
// Writes the bytes unchanged to standard output.
void write_standard_output(std::string_view bytes) noexcept;

}  // namespace lumetra

namespace lumetra {

// The platform's numbers of the signals the runtime handles.
extern const int signal_abort;
extern const int signal_floating_point;
extern const int signal_illegal_instruction;
extern const int signal_segmentation;
extern const int signal_termination;
extern const int signal_interrupt;
extern const int signal_hang_up;
// One more than the largest signal number.
inline constexpr int signal_count = 65;

using SignalHandler = void (*)(int signal_number);
// Installs handler for the signal; it runs on an alternate stack (so that a
// stack overflow can be handled) with the other handled signals blocked.
void install_signal_handler(int signal_number, SignalHandler handler) noexcept;
// True when the signal's action is to ignore it (as under nohup).
[[nodiscard]] bool signal_ignored(int signal_number) noexcept;
// Writing to a pipe whose reader is gone fails (EPIPE) instead of ending the
// process.
void ignore_broken_pipe() noexcept;
// Restores the default action of the signal and delivers it to the process.
void raise_default_signal(int signal_number) noexcept;
// Waits until a signal handler has run, or 10 ms at most (a signal that came
// just before the call is not waited for).
void wait_for_signal() noexcept;
// Ends the process at once with the code, running no exit handlers.
[[noreturn]] void exit_immediately(std::int32_t code) noexcept;

}  // namespace lumetra
