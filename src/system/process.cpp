// Process services that are the same on every system: the C library's exit
// and exit handlers.
#include "system/process.h"

#include <cstdlib>

namespace lumetra {

void register_exit_handler(void (*handler)()) noexcept { std::atexit(handler); }

void exit_process(std::int32_t code) noexcept { std::exit(code); }

}  // namespace lumetra
