// The place in the source that stopped the conversion: the line that follows
// the abort message on a terminal, and the visible form of a line's start.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace lumetra {

// The start of a line as it can be shown: printable ASCII bytes as they
// are, every other byte as \xNN (two hex digits), as much as fits into out
// without cutting one \xNN apart. Returns the length written.
std::size_t visible_start(std::string_view line, std::span<char> out) noexcept;

// When standard error is a terminal, keeps the line that follows the abort
// message: "  Zeile N der Quelldatei: " and the visible start of the source
// line, cut to the terminal's width. Allocates nothing; call it before the
// error is raised.
void note_source_line(std::int64_t number, std::string_view line) noexcept;

}  // namespace lumetra
