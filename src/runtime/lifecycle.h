// Start-up and shutdown of the runtime: the one-time initialisation, the
// command line, the processor check, and the exit step that closes all files
// and writes a pending abort message.
#pragma once

#include <cstdint>

namespace lumetra {

// Counts calls; the first clears the support layer's state (error context,
// file slots, console state, text pool) and sets the floating-point control.
void runtime_initialise() noexcept;
// Counts down; at zero runs the exit writer, closes every open file and
// writes a pending abort message. Registered as an exit handler by the
// global initialisation.
void runtime_exit_step() noexcept;
// The exit step on the way out of a signal handler: the same, but the files
// are closed with system calls only.
void runtime_exit_step_from_signal_handler() noexcept;
// A writer that the exit step runs before it closes the files, so that
// output waiting in memory reaches its file on every way out. It runs in a
// signal handler too: async-signal-safe steps only. nullptr: none.
using ExitWriter = void (*)() noexcept;
void set_exit_writer(ExitWriter writer) noexcept;
// A step that the exit step runs once it has written an abort message, on
// the way out of a runtime error (not out of a signal handler), while the
// process still shows everything it wrote. nullptr: none.
using AbortStep = void (*)() noexcept;
void set_abort_step(AbortStep step) noexcept;
// Closed standard descriptors opened on /dev/null, runtime_initialise and
// the registration of runtime_exit_step, once per process.
void run_global_initialisation() noexcept;

// Keeps the command line; nothing reads it back.
void keep_command_line(int argc, char** argv) noexcept;

struct ProcessorProbe;

// The processor class, computed once: the family in bits 28 to 31 (3 for the
// 386 class, 4 for the 486 class, else the identification's family field).
[[nodiscard]] std::uint32_t processor_class() noexcept;
// The class for the answers of the processor tests: with the identification
// instruction, EAX shifted left by 20 OR EDX without its top four bits;
// without it, 0x40000000 when the alignment-check flag toggles, else
// 0x30000000.
[[nodiscard]] std::uint32_t classify_processor(const ProcessorProbe& probe) noexcept;
// True when the class is below the 486 class (the program refuses to run).
[[nodiscard]] bool processor_too_old(std::uint32_t processor_class) noexcept;

}  // namespace lumetra
