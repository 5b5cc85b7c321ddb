// The C runtime's numbers of the signals every system has.
#include "system/signals.h"

#include <csignal>

namespace lumetra {

const int signal_abort = SIGABRT;
const int signal_floating_point = SIGFPE;
const int signal_illegal_instruction = SIGILL;
const int signal_segmentation = SIGSEGV;
const int signal_termination = SIGTERM;
const int signal_interrupt = SIGINT;

}  // namespace lumetra
