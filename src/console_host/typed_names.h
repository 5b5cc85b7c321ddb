// File names typed on the terminal. The line editor delivers what is typed
// in code page 850, decoded from the terminal's character set; a file whose
// name was typed on the same terminal by other programs has the bytes the
// terminal sent.
#pragma once

#include <string>
#include <string_view>

namespace lumetra {

// The bytes the terminal sent for a name typed in the line editor. Empty
// where the name's code page 850 reading already gives them or where there
// are none: a terminal of UTF-8 (or ASCII), a name with a character the
// terminal's character set lacks, and Windows, whose console reads code
// page 850 itself.
[[nodiscard]] std::string typed_name_bytes(std::string_view name);

}  // namespace lumetra
