// Checking a log without converting it: the source read as the conversion
// reads it, every data line made into its record and thrown away, and a
// short report in German of what a conversion would do.
#pragma once

#include "files/file_slots.h"

namespace lumetra {

// Reads the open source (nothing of it read yet, not empty) up to its end or
// up to the line that would stop the conversion, closes it, prints the
// report on the console and ends the process with the status the
// conversion would end with: 0 when it would run through, warnings or not,
// else the number of the runtime error that would stop it.
[[noreturn]] void check_log(FileNumber source) noexcept;

}  // namespace lumetra
