// A terminal stays with the shell or window that started the program: no
// window of its own to keep open.
#include "system/console_window.h"

namespace lumetra {

void hold_own_console_window() noexcept {}

}  // namespace lumetra
