// Process services that are the same on every system: the C library's exit
// and exit handlers, and the C runtime's signal numbers.
#include "system/process.h"

#include <csignal>
#include <cstdlib>

namespace lumetra {

void register_exit_handler(void (*handler)()) noexcept { std::atexit(handler); }

void exit_process(std::int32_t code) noexcept { std::exit(code); }

const int signal_abort = SIGABRT;
const int signal_floating_point = SIGFPE;
const int signal_illegal_instruction = SIGILL;
const int signal_segmentation = SIGSEGV;
const int signal_termination = SIGTERM;
const int signal_interrupt = SIGINT;

}  // namespace lumetra
