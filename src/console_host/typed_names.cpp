// File names typed on a terminal, in the terminal's own character set.
#include "console_host/typed_names.h"

#include "console_host/terminal_charset.h"

namespace lumetra {

std::string typed_name_bytes(std::string_view name) { return TerminalCharset::for_locale().typed_bytes(name); }

}  // namespace lumetra
