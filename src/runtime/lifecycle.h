// Start-up and shutdown of the runtime: the one-time initialisation, the
// command line, the processor check, and the exit step that closes all files
// and writes a pending abort message.
#pragma once

#include <cstdint>

namespace lumetra {

// Counts calls; the first clears the support layer's state (error context,
// file slots, console state, text pool) and sets the floating-point control.
void runtime_initialise() noexcept;
// Counts down; at zero closes every open file and writes a pending abort
// message. Registered as an exit handler by the global initialisation.
void runtime_exit_step() noexcept;
// runtime_initialise and the registration of runtime_exit_step, once per
// process.
void run_global_initialisation() noexcept;

// Keeps the command line; nothing reads it back.
void keep_command_line(int argc, char** argv) noexcept;

// The processor class, computed once: the family in bits 28 to 31 (3 for the
// 386 class, 4 for the 486 class, else the identification's family field).
[[nodiscard]] std::uint32_t processor_class() noexcept;

}  // namespace lumetra
