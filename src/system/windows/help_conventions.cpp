// The help's conventions on Windows: /? asks for it, and the manual is the
// text file that comes with lumetra.exe.
#include "system/help_conventions.h"

namespace lumetra {

const std::string_view system_help_argument = "/?";
const std::string_view manual_location = "lumetra.txt beside lumetra.exe";

}  // namespace lumetra
