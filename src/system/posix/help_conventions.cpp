// The help's conventions on POSIX systems: the manual page.
#include "system/help_conventions.h"

namespace lumetra {

const std::string_view system_help_argument;
const std::string_view manual_location = "man lumetra";

}  // namespace lumetra
