// File names typed on a terminal, in the terminal's own character set.
#include "platform/typed_names.h"

#include "platform/terminal_console/terminal_charset.h"

namespace lumetra {

std::string typed_name_bytes(std::string_view name) { return TerminalCharset::for_locale().typed_bytes(name); }

}  // namespace lumetra
