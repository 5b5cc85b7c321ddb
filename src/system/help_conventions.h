// What the users of a system expect of a program's help: the argument they
// ask for it with besides --help and -h, and where they find the manual.
#pragma once

#include <string_view>

namespace lumetra {

// "/?" on Windows; empty on a system without such an argument.
extern const std::string_view system_help_argument;

// The manual as the help's last line names it ("man lumetra" on Linux).
extern const std::string_view manual_location;

}  // namespace lumetra
