// The command line: without arguments the dialogue asks for the file names;
// two arguments name the source and the target; --check SOURCE checks a log
// without converting it; --help and --version answer and end.
#pragma once

#include <cstdint>
#include <string_view>

namespace lumetra {

enum class CommandForm : std::uint8_t { Dialogue, Names, Check, Help, Version, UsageError };

struct CommandLine {
  CommandForm form = CommandForm::Dialogue;
  std::string_view source;  // Names: the two arguments as given; Check: the one
  std::string_view target;
  std::string_view fault;  // UsageError: what is wrong, and the argument it concerns
  std::string_view culprit;
};

// Exit status of a usage error (EX_USAGE); no runtime error has this number.
inline constexpr std::int32_t exit_usage = 64;
// The usage or the version could not be written (EX_IOERR).
inline constexpr std::int32_t exit_output_error = 74;

// The argument standing for standard input (as source) or output (as target).
inline constexpr std::string_view standard_stream_argument = "-";

// Reads the arguments after the program's name. Options come before the
// names or among them; "--" ends them, and "-" alone is a name. The first
// --help (-h, or the system's own help argument such as "/?") or --version
// decides; --check asks for one name. An unknown option, a count of names
// other than 0 or 2 (1 with --check), "-" on a system that cannot open the
// standard streams by a name, or a source that is standard input while that
// is a terminal (where a log is never typed: "-", /dev/stdin, /dev/tty) is a
// usage error.
[[nodiscard]] CommandLine read_command_line(int argc, const char* const* argv) noexcept;

// The name an argument gives, by the rules of a typed name except that
// nothing splits it: leading blanks (spaces and tabs) are dropped, a name
// that starts with a double quote ends before the next one, and at most the
// field size of a typed name is kept.
[[nodiscard]] std::string_view argument_name(std::string_view argument) noexcept;

// The answer to --help (usage on standard output, exit 0), --version
// ("lumetra 1.x.y", exit 0) or a usage error (one line and the hint to
// --help on standard error, exit 64); exit 74 when the usage or the version
// cannot be written.
[[noreturn]] void answer_command_line(const CommandLine& command) noexcept;

}  // namespace lumetra
