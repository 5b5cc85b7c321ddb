// Start-up and shutdown of the runtime: the one-time initialisation, the
// command line, the processor check, the steps that the layers above register
// for start and end, and the exit step that runs them and writes a pending
// abort message.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumetra {

// What a layer above the runtime does when the runtime starts and ends. The
// runtime cannot call those layers; each registers its steps at start-up, in
// the order the shutdown needs, and the runtime runs them in that order. A
// null step: nothing to do.
struct ExitSteps {
  // At the first runtime_initialise: the layer's state cleared.
  void (*reset)() noexcept = nullptr;
  // In the exit step, after the exit writer, before the abort message.
  void (*close)() noexcept = nullptr;
  // The same on the way out of a signal handler: async-signal-safe.
  void (*close_from_signal_handler)() noexcept = nullptr;
  // The end cannot wait any longer: whatever would wait fails instead.
  // Async-signal-safe.
  void (*stop_blocking)() noexcept = nullptr;
};
inline constexpr std::size_t exit_steps_capacity = 4;
// Adds a layer's steps to a table of fixed size (nothing is allocated, and a
// signal handler can run them), which keeps a reference: the steps live as
// long as the process. Steps registered before are not added again. False
// when the table is full.
bool register_exit_steps(const ExitSteps& steps) noexcept;
// Runs every registered stop_blocking step. Async-signal-safe.
void stop_blocking_everywhere() noexcept;

// Counts calls; the first clears the support layer's state (error context,
// the registered layers' state, text pool) and sets the floating-point
// control.
void runtime_initialise() noexcept;
// Counts down; at zero runs the exit writer and the registered close steps
// (the file layer's closes every open file), and writes a pending abort
// message. Registered as an exit handler by the global initialisation.
void runtime_exit_step() noexcept;
// The exit step on the way out of a signal handler: the same, with the close
// steps made for a signal handler (the files closed with system calls only).
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
